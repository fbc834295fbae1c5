#pragma once
// Every statement the program sends to the Patient table, the ID allocation with the row limit
// and reuse of deleted rows, soft deletion and the per-patient data folder. All of it runs on the
// process-wide connection AppDatabase; storing is one locked transaction, so stations sharing
// the table never give one ID twice. Values are bound, never part of a statement's text, so a
// name like O'Brien is stored as typed and no text typed can change what a statement does.
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>
#include <vector>

#include "db/PatientOrder.h"
#include "db/PatientRecord.h"

class AdoRecordSet;

// Rows counted for the limit include deleted ones; at the limit a new patient takes over the
// deleted row with the oldest NewDate.
inline constexpr int kMaxPatientRows = 400;

enum class StoreOutcome {
    Stored,
    CountFailed,        // the row count or the next ID could not be read
    TableFull,          // no deleted row to take over
    InsertFailed,       // the new row was refused by the engine
    ReuseOpenFailed,    // the oldest deleted row could not be read or is gone
    ReuseCommitFailed,  // the take-over row could not be committed
    FolderFailed,       // the data folder could not be made new (an old one not moved aside)
};

struct StoreResult {
    StoreOutcome outcome = StoreOutcome::CountFailed;
    int32_t id = 0;       // valid when stored
    QString newDate{};    // the stored NewDate: with the ID, who the patient is
    bool reused = false;  // an old deleted row was taken over
    bool Stored() const { return outcome == StoreOutcome::Stored; }
};

// Stores the facts Name, Age, Height, Weight, Blood, Sex, Other and ClinicalNo of `facts` as a new
// patient with a data folder of its own, stamped for it: whatever stood at Data/<ID> before (an
// earlier holder's records, a folder a restored database knows nothing of) is moved aside first,
// and when that fails nothing is stored. Shows nothing: the caller names the outcome. `now` is
// the insertion time. The patient's order is `order` (none when null), stored with the row or
// not at all; a row taken over never keeps the order of the patient it was.
StoreResult StorePatient(const PatientRecord& facts,
                         const QDateTime& now = QDateTime::currentDateTime(),
                         const PatientOrder* order = nullptr);

// The message key every caller shows for a failed store: "Search Record Error" when the count
// query fails, "save error" when the row is refused, "Must delete Patient Record" for a full table;
// null for Stored and for the take-over failures, which each caller names itself.
const char* StoreFailureKey(StoreOutcome outcome);

// The folder that holds every patient's record folder: "Data" in the working directory unless
// Settings.ini names another (a share all stations see). An empty root means "Data".
void SetDataRoot(const QString& root);
const QString& DataRoot();
// "<data root>/<id>", the folder of a patient's record files.
QString PatientDataFolder(int32_t id);

// A list query: the statement and the values of its "?", in order.
struct PatientQuery {
    QString statement;
    std::vector<QVariant> values;
};

// The patient a record belongs to: the name of its folder Data/<id>. Records elsewhere (the demo
// folder) belong to no patient and print with a blank header.
QString PatientIdForRecord(const QString& recordPath);

// Every live patient, newest first (the history list's opening and after an import).
PatientQuery LivePatientsStatement();
// Every live patient when both filters are empty, else those whose name and clinical number
// contain the non-empty filters (Like, % and _ as wildcards), newest first.
PatientQuery QueryPatientsStatement(const QString& name, const QString& clinicalNo);
// Binds the recordset to AppDatabase, client-side cursor, and opens the query; moves first.
bool OpenPatientList(AdoRecordSet& rows, const PatientQuery& query);
// The current row by column name. False past the last row or on a read error.
bool ReadPatientRow(AdoRecordSet& rows, PatientRecord& row);

enum class DeleteOutcome {
    Deleted,         // marked deleted, its folder moved aside
    NotSamePatient,  // the row is gone or another patient holds the ID now: nothing done
    Recording,       // a recording of the patient is going on somewhere: nothing done
    Failed,          // the database or the folder refused: nothing done
};
// Deletes row's patient (its PatientID and NewDate) whole or not at all: the row is marked
// deleted and its data folder moved aside in one transaction, so a delete that fails anywhere
// leaves the patient live with every record in place. Records are never erased.
DeleteOutcome DeletePatient(const PatientRecord& row,
                            const QDateTime& now = QDateTime::currentDateTime());

// The row to export, whether deleted or not. Empty when the query fails or finds no row.
std::optional<PatientRecord> ExportPatientRow(int32_t id);

// A patient by the decimal ID text of the current or viewed patient; Isdel is not looked at.
struct PatientLookup {
    bool queryFailed = false;           // "Search Record Error"
    std::optional<PatientRecord> row;   // empty and not failed: "The Patient is not exist!"
};
PatientLookup FindPatient(const QString& idText);
