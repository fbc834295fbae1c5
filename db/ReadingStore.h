#pragma once
// The readings of the records, in the Reading table of the patient database: one row per
// version, never updated or deleted. A reading belongs to one record, known by its
// content and its patient's identity (RecordKey), so it follows the record through an export and
// an import and never shows on another patient's record, whoever holds the ID now. Confirming
// and amending is one insert in a transaction that checks the version it builds on: of two
// stations confirming at once one wins, the other is told who did. Everything runs on the
// process-wide connection AppDatabase and shows nothing; callers speak.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "analysis/Reading.h"
#include "db/PatientRecord.h"

class LanguageTable;

// The table as start-up makes it when a database has none (the same statements for both engines).
inline constexpr char kReadingTable[] = "Reading";
QStringList ReadingColumns();
QStringList ReadingCreateStatements();

// The record a reading belongs to.
struct RecordKey {
    QString digest;       // SHA-256 of the record's whole seconds, lower-case hex
    int32_t patientId = 0;
    QString patientDate;  // the patient row's NewDate: with the ID, who the patient is
    QString recordName;   // the file's name in the patient's folder
    QString recordTime;   // the record's start, "yyyy-MM-dd HH:mm:ss": from its name, else its file
    bool operator==(const RecordKey&) const = default;
};

// The digest of a record that passes the record check; empty for any other file.
QString RecordDigest(const QString& recordPath);

// A record's key, from the patient folder that holds it and that patient's row.
struct RecordKeyLookup {
    enum class Outcome {
        Found,
        NoPatient,    // not in a patient's folder (a demo record): it has no reading
        QueryFailed,  // the patient could not be looked up
        NoRow,        // no patient row for the folder, or the folder's stamp names another
                      // patient than the row (its ID was handed on)
        NotRecord,    // unreadable, or fails the record check: never confirmed
    };
    Outcome outcome = Outcome::NotRecord;
    RecordKey key;
    PatientRecord patient;  // when found
};
RecordKeyLookup FindRecordKey(const QString& recordPath);

// Every stored version of a record's reading, 0 (when registered) first; nullopt when the query
// fails.
std::optional<std::vector<Reading>> LoadReadings(const RecordKey& key);

// The latest confirmed version (1 on) of a record's reading; none when it is unconfirmed.
struct LatestReading {
    bool failed = false;  // the database could not say: show nothing as confirmed or unconfirmed
    std::optional<Reading> reading;
};
// What the screen, the paper and the archive show of a record at a path. Records of no patient
// and files that are no record have no reading.
LatestReading LatestReadingOf(const QString& recordPath);

// Writes version 0, the machine's reading, for a record that has no row yet: the reading list
// knows the record from then on. True when it is there.
bool RegisterRecord(const RecordKey& key, const Reading& machine);

enum class ConfirmOutcome {
    Confirmed,
    Conflict,  // another version was stored meanwhile; `reading` is the latest
    Invalid,   // CheckReading refused it
    Failed,    // the database refused or failed: nothing stored ("save error")
};
struct ConfirmResult {
    ConfirmOutcome outcome = ConfirmOutcome::Failed;
    Reading reading;  // as stored, or the latest one found
    ReadingProblem problem = ReadingProblem::Valid;
};
// Stores `reading` as version basedOn + 1, at `now`, provided the latest stored version is still
// basedOn (0 when only the machine's exists); the machine's reading is registered too when the
// record had none.
ConfirmResult ConfirmReading(const RecordKey& key, const Reading& machine, int basedOn,
                             Reading reading, const QDateTime& now = QDateTime::currentDateTime());

// The latest stored version of each record of a patient, by digest; nullopt when the query fails.
std::optional<std::map<QString, Reading>> LatestReadingsOfPatient(int32_t patientId,
                                                                  const QString& patientDate);

// The reading list: every registered record of a live patient with no confirmed reading, oldest
// record first.
struct UnreadRecord {
    RecordKey key;
    QString patientName;
    QString clinicalNo;
    Reading machine;  // version 0 as registered
};
// Records in the live patients' folders that are not registered yet (made before readings were
// kept, or copied in) are analysed and registered first. nullopt when the database fails.
std::optional<std::vector<UnreadRecord>> UnreadRecords();

// A patient's rows, for an export: every version of every record, each with its record's key.
struct StoredReading {
    RecordKey key;
    Reading reading;
};
std::optional<std::vector<StoredReading>> PatientReadings(int32_t patientId, const QString& patientDate);
// Stores an import's rows under the new patient (keys as given), in one transaction: all or none.
bool StoreReadings(const std::vector<StoredReading>& rows);
