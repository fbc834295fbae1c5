#include "db/PatientStore.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <QRegularExpression>
#include <limits>

#include "db/AdoRecordSet.h"
#include "db/AppDatabase.h"
#include "db/PatientFolder.h"
#include "db/RecordingHold.h"

namespace {

// Tries of a store that clashed with another station's before it is given up.
constexpr int kStoreAttempts = 5;

QString dataRoot = "Data";

constexpr char kStoredDateFormat[] = "yyyy-MM-dd HH:mm:ss";

// A text bound as a value: an empty text is stored as the empty text, never as NULL.
QVariant Text(const QString& text)
{
    return text.isNull() ? QString("") : text;
}

void Bind(AdoRecordSet& rows, bool clientCursor)
{
    rows.SetAdoConnection(&AppDatabase::Instance());
    if (clientCursor)
        rows.PutCursorLocation(kAdUseClient);
}

// The new row; every value is bound, none is part of the statement.
AdoHandle InsertPatient(int32_t id, const PatientRecord& p, const QDateTime& now)
{
    return AppDatabase::Instance().Query(
        QString("Insert into Patient (PatientID,Name,Age,Height") +
            ",Weight,Blood,Sex,Other,ClinicalNo,NewDate" + ",Isdel) Values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {id, Text(p.Name), p.Age, p.Height, p.Weight, p.Blood, p.Sex, Text(p.Other), Text(p.ClinicalNo),
         now.toString(kStoredDateFormat), 0});
}

// At the row limit, the deleted row with the oldest NewDate becomes the new patient.
StoreResult TakeOverDeletedRow(const PatientRecord& p, const QDateTime& now)
{
    AdoRecordSet oldest;
    Bind(oldest, true);
    if (!oldest.Open("Select Min(NewDate), Count(*) from Patient where Isdel = 1"))
        return {StoreOutcome::CountFailed};
    oldest.MoveFirst();
    QDateTime date;
    int32_t deleted = 0;
    oldest.GetCollect(0, date);
    oldest.GetCollect(1, deleted);
    oldest.Close();
    if (deleted == 0)
        return {StoreOutcome::TableFull};
    // Deleted rows without a date have no Min to be found by; nothing to take over then.
    if (!date.isValid())
        return {StoreOutcome::ReuseOpenFailed};

    AdoRecordSet row;
    Bind(row, true);
    if (!row.OpenWith(QString("Select * From Patient ") + "Where  Isdel = 1 and NewDate = ?",
                      {date.toString(kStoredDateFormat)}))
        return {StoreOutcome::ReuseOpenFailed};
    row.MoveFirst();
    int32_t id = 0;
    if (!row.GetCollect(QString("PatientID"), id))
        return {StoreOutcome::ReuseOpenFailed};
    // The row is a new patient from now on, so it sorts and prints with today's date; a date
    // the old patient had (a clock set back) would make the two one patient.
    QString newDate = now.toString(kStoredDateFormat);
    if (newDate == date.toString(kStoredDateFormat))
        newDate = now.addSecs(1).toString(kStoredDateFormat);
    const bool written = row.PutCollect("PatientID", id) && row.PutCollect("NewDate", newDate) && row.PutCollect("Name", p.Name) &&
                         row.PutCollect("Age", p.Age) && row.PutCollect("Isdel", 0) &&
                         row.PutCollect("Other", p.Other) && row.PutCollect("Height", p.Height) &&
                         row.PutCollect("Weight", p.Weight) && row.PutCollect("Blood", p.Blood) &&
                         row.PutCollect("Sex", p.Sex) && row.PutCollect("ClinicalNo", p.ClinicalNo);
    if (!written || !row.Update())
        return {StoreOutcome::ReuseCommitFailed};
    return {StoreOutcome::Stored, id, newDate, true};
}

// Storing inside the transaction: count the rows, then insert a new row or take over the oldest
// deleted one.
StoreResult StoreRow(const PatientRecord& facts, const QDateTime& now)
{
    AdoRecordSet count;
    Bind(count, true);
    if (!count.Open("Select Max(PatientID), count(*) from Patient"))
        return {StoreOutcome::CountFailed};
    count.MoveFirst();
    int32_t rows = 0;
    int32_t highest = 0;
    count.GetCollect(1, rows);
    if (rows != 0)
        count.GetCollect(0, highest);
    count.Close();
    if (rows >= kMaxPatientRows)
        return TakeOverDeletedRow(facts, now);
    // An ID past the 32-bit range cannot be given; the table would need repair first.
    const AdoHandle done = highest < std::numeric_limits<int32_t>::max()
                               ? InsertPatient(highest + 1, facts, now)
                               : AdoHandle();
    if (done == nullptr || done->recordsAffected != 1)
        return {StoreOutcome::InsertFailed};
    return {StoreOutcome::Stored, highest + 1, now.toString(kStoredDateFormat), false};
}

// Runs work in a transaction that holds the Patient table against other writers, and commits
// when work says so; a clash with another station's transaction is tried again. False when
// nothing was committed.
template <class Work>
bool RunLocked(Work work)
{
    AppDatabase& db = AppDatabase::Instance();
    for (int attempt = 0; attempt < kStoreAttempts; ++attempt) {
        if (!db.BeginLocked("Patient")) {
            if (db.LastFailureWasConflict())
                continue;
            return false;
        }
        if (work() && db.Commit())
            return true;
        const bool again = db.LastFailureWasConflict();
        db.Rollback();
        if (!again)
            return false;
    }
    return false;
}

// The stored patient's own data folder, made new and stamped; what stood there is moved aside.
bool MakeDataFolder(const StoreResult& stored, const PatientRecord& facts, const QDateTime& now)
{
    const QString folder = PatientDataFolder(stored.id);
    if (!MoveFolderAside(folder, now) || !QDir().mkpath(folder))
        return false;
    PatientRecord row = facts;
    row.PatientID = stored.id;
    row.NewDate = stored.newDate;
    return StampPatientFolder(folder, row);
}

// Takes back a folder MakeDataFolder made for a row that was not committed.
void RemoveDataFolder(int32_t id)
{
    const QString folder = PatientDataFolder(id);
    QDir(folder).remove(kPatientStampFile);
    QDir().rmdir(folder);
}

// The row and the patient's order, both or neither.
StoreResult StoreLocked(const PatientRecord& facts, const QDateTime& now, const PatientOrder* order)
{
    StoreResult result = StoreRow(facts, now);
    if (result.Stored() && !ReplacePatientOrder(result.id, order))
        result = {result.reused ? StoreOutcome::ReuseCommitFailed : StoreOutcome::InsertFailed};
    return result;
}

}  // namespace

void SetDataRoot(const QString& root)
{
    dataRoot = root.isEmpty() ? QString("Data") : QDir::cleanPath(root);
}

const QString& DataRoot()
{
    return dataRoot;
}

QString PatientDataFolder(int32_t id)
{
    return dataRoot + QString::asprintf("/%d", id);
}

const char* StoreFailureKey(StoreOutcome outcome)
{
    switch (outcome) {
    // A failing database is said as such, never as a bare "no".
    case StoreOutcome::CountFailed: return "Search Record Error";
    case StoreOutcome::InsertFailed:
    case StoreOutcome::FolderFailed: return "save error";
    case StoreOutcome::TableFull: return "Must delete Patient Record";
    default: return nullptr;
    }
}

StoreResult StorePatient(const PatientRecord& facts, const QDateTime& now, const PatientOrder* order)
{
    // Stations sharing the table store at the same moment: the count, the new ID, the row and
    // its folder are one transaction that holds the table against other writers.
    StoreResult result;
    bool folderMade = false;
    const bool committed = RunLocked([&] {
        if (folderMade)
            RemoveDataFolder(result.id);
        result = StoreLocked(facts, now, order);
        folderMade = result.Stored() && MakeDataFolder(result, facts, now);
        if (result.Stored() && !folderMade)
            result.outcome = StoreOutcome::FolderFailed;
        return folderMade;
    });
    if (committed)
        return result;
    if (folderMade)
        RemoveDataFolder(result.id);
    if (result.Stored())
        result = {result.reused ? StoreOutcome::ReuseCommitFailed : StoreOutcome::InsertFailed};
    return result;
}

QString PatientIdForRecord(const QString& recordPath)
{
    // The record's folder, not the patient last chosen in the history list: after History View
    // and a new patient's recording those two differ, and the header must name the record's own
    // patient. A backslash is part of a file's name here, never a separator, so a file named
    // like "x\1\m202601010000.cv" in patient 5's folder never names patient 1.
    const QString folder = QFileInfo(recordPath).dir().dirName();
    const bool decimal = !folder.isEmpty() && folder.size() <= 9 &&
                         std::all_of(folder.begin(), folder.end(), [](QChar c) { return c >= '0' && c <= '9'; });
    return decimal ? folder : QString();
}

PatientQuery LivePatientsStatement()
{
    return {"Select * From Patient Where Isdel = 0 Order By NewDate DESC", {}};
}

PatientQuery QueryPatientsStatement(const QString& name, const QString& clinicalNo)
{
    if (name.isEmpty() && clinicalNo.isEmpty())
        return {"Select * from Patient Where Isdel = 0 Order By NewDate DESC", {}};
    PatientQuery query{"Select * From Patient Where Isdel = 0", {}};
    // The filters go between the wildcards as typed, so a % or _ typed is a wildcard too.
    for (const auto& [column, filter] : {std::pair("Name", &name), std::pair("ClinicalNo", &clinicalNo)}) {
        if (filter->isEmpty())
            continue;
        query.statement += QString(" And ") + column + " Like ?";
        query.values.push_back("%" + *filter + "%");
    }
    query.statement += " Order By NewDate DESC";
    return query;
}

bool OpenPatientList(AdoRecordSet& rows, const PatientQuery& query)
{
    Bind(rows, true);
    if (!rows.OpenWith(query.statement, query.values))
        return false;
    rows.MoveFirst();
    return true;
}

bool ReadPatientRow(AdoRecordSet& rows, PatientRecord& row)
{
    if (rows.IsEOF())
        return false;
    PatientRecord r;
    const bool read = rows.GetCollect(QString("PatientID"), r.PatientID) &&
                      rows.GetCollect(QString("Name"), r.Name) &&
                      rows.GetCollect(QString("Age"), r.Age) &&
                      rows.GetCollect(QString("Height"), r.Height) &&
                      rows.GetCollect(QString("Weight"), r.Weight) &&
                      rows.GetCollect(QString("Blood"), r.Blood) &&
                      rows.GetCollect(QString("Sex"), r.Sex) &&
                      rows.GetCollect(QString("Other"), r.Other) &&
                      rows.GetCollect(QString("ClinicalNo"), r.ClinicalNo) &&
                      rows.GetCollect(QString("NewDate"), r.NewDate) &&
                      rows.GetCollect(QString("Isdel"), r.Isdel);
    if (read)
        row = r;
    return read;
}

DeleteOutcome DeletePatient(const PatientRecord& row, const QDateTime& now)
{
    DeleteOutcome outcome = DeleteOutcome::Failed;
    const QString folder = PatientDataFolder(row.PatientID);
    QString aside;
    const bool deleted = RunLocked([&] {
        const PatientLookup found = FindPatient(QString::number(row.PatientID));
        outcome = DeleteOutcome::Failed;
        if (found.queryFailed)
            return false;
        if (!found.row || found.row->Isdel != 0 || !SamePatient(*found.row, row)) {
            outcome = DeleteOutcome::NotSamePatient;
            return false;
        }
        if (!RecordingHold::ClaimForDelete(row.PatientID)) {
            outcome = DeleteOutcome::Recording;
            return false;
        }
        const AdoHandle marked = AppDatabase::Instance().Query(
            "Update Patient Set Isdel = '1' Where PatientID = ?", {row.PatientID});
        if (marked == nullptr || marked->recordsAffected < 1)
            return false;
        // Last, so that a folder that cannot be moved (a busy share) undoes the mark.
        const std::optional<QString> moved = aside.isEmpty() ? MoveFolderAside(folder, now) : aside;
        aside = moved.value_or(QString());
        return moved.has_value();
    });
    if (deleted)
        return DeleteOutcome::Deleted;
    // The commit failed after the move: the patient stays live, so do its records.
    if (!aside.isEmpty() && outcome != DeleteOutcome::NotSamePatient)
        QDir().rename(aside, folder);
    return outcome;
}

std::optional<PatientRecord> ExportPatientRow(int32_t id)
{
    AdoRecordSet rows;
    Bind(rows, false);
    if (!rows.OpenWith("Select * From Patient Where PatientID = ?", {id}))
        return std::nullopt;
    rows.MoveFirst();
    PatientRecord row;
    if (!ReadPatientRow(rows, row))
        return std::nullopt;
    return row;
}

PatientLookup FindPatient(const QString& idText)
{
    PatientLookup lookup;
    // The ID text is ours (a number read back or just allocated); anything else is not sent.
    static const QRegularExpression decimal(R"(^-?[0-9]{1,10}$)");
    if (!decimal.match(idText).hasMatch()) {
        lookup.queryFailed = true;
        return lookup;
    }
    AdoRecordSet rows;
    if (!OpenPatientList(rows, {"Select * from Patient Where PatientID = ?", {idText.toLongLong()}})) {
        lookup.queryFailed = true;
        return lookup;
    }
    PatientRecord row;
    if (ReadPatientRow(rows, row))
        lookup.row = row;
    return lookup;
}
