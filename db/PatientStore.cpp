#include "db/PatientStore.h"

#include <QDir>
#include <QRegularExpression>
#include <limits>

#include "db/AdoRecordSet.h"
#include "db/AppDatabase.h"

namespace {

// Tries of a store that clashed with another station's before it is given up.
constexpr int kStoreAttempts = 5;

QString dataRoot = "Data";

// A text value between single quotes. A quote inside is doubled, which is how both engines read
// a quote within a literal, so the value cannot end the literal early.
QString Quoted(const QString& text)
{
    return "'" + QString(text).replace('\'', "''") + "'";
}

void Bind(AdoRecordSet& rows, bool clientCursor)
{
    rows.SetAdoConnection(&AppDatabase::Instance());
    if (clientCursor)
        rows.PutCursorLocation(kAdUseClient);
}

QString InsertStatement(int32_t id, const PatientRecord& p, const QDateTime& now)
{
    const QDate d = now.date();
    const QTime t = now.time();
    return QString("Insert into Patient (PatientID,Name,Age,Height") +
           ",Weight,Blood,Sex,Other,ClinicalNo,NewDate" + ",Isdel) Values (" +
           QString::asprintf("%d, ", id) + Quoted(p.Name) + ", " +
           QString::asprintf("%d, %d, %d, %d, %d, ", p.Age, p.Height, p.Weight, p.Blood, p.Sex) +
           Quoted(p.Other) + ", " + Quoted(p.ClinicalNo) + ", " +
           QString::asprintf("'%d-%d-%d  %d:%d:%d', ", d.year(), d.month(), d.day(), t.hour(),
                             t.minute(), t.second()) +
           QString::asprintf("%d)", 0);
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
    if (!row.Open(QString("Select * From Patient ") + "Where  Isdel = 1 and NewDate = #" +
                  date.toString("yyyy-MM-dd HH:mm:ss") + "#"))
        return {StoreOutcome::ReuseOpenFailed};
    row.MoveFirst();
    int32_t id = 0;
    if (!row.GetCollect(QString("PatientID"), id))
        return {StoreOutcome::ReuseOpenFailed};
    // The row is a new patient from now on, so it sorts and prints with today's date.
    const bool written = row.PutCollect("PatientID", id) && row.PutCollect("NewDate", now.toString("yyyy-MM-dd HH:mm:ss")) && row.PutCollect("Name", p.Name) &&
                         row.PutCollect("Age", p.Age) && row.PutCollect("Isdel", 0) &&
                         row.PutCollect("Other", p.Other) && row.PutCollect("Height", p.Height) &&
                         row.PutCollect("Weight", p.Weight) && row.PutCollect("Blood", p.Blood) &&
                         row.PutCollect("Sex", p.Sex) && row.PutCollect("ClinicalNo", p.ClinicalNo);
    if (!written || !row.Update())
        return {StoreOutcome::ReuseCommitFailed};
    return {StoreOutcome::Stored, id, true};
}

// Storing inside the transaction: count the rows, then insert a new row or take over the oldest
// deleted one.
StoreResult StoreLocked(const PatientRecord& facts, const QDateTime& now)
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
                               ? AppDatabase::Instance().Execute(InsertStatement(highest + 1, facts, now))
                               : AdoHandle();
    if (done == nullptr || done->recordsAffected != 1)
        return {StoreOutcome::InsertFailed};
    return {StoreOutcome::Stored, highest + 1, false};
}

}  // namespace

void SetDataRoot(const QString& root)
{
    dataRoot = root.isEmpty() ? QString("Data") : root;
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
    case StoreOutcome::InsertFailed: return "save error";
    case StoreOutcome::TableFull: return "Must delete Patient Record";
    default: return nullptr;
    }
}

StoreResult StorePatient(const PatientRecord& facts, const QDateTime& now)
{
    // Stations sharing the table store at the same moment: the count, the new ID and the row
    // are one transaction that holds the table against other writers, tried again when it
    // clashed with another station's.
    AppDatabase& db = AppDatabase::Instance();
    StoreResult result;
    bool committed = false;
    for (int attempt = 0; attempt < kStoreAttempts && !committed; ++attempt) {
        if (!db.BeginLocked("Patient")) {
            if (db.LastFailureWasConflict())
                continue;
            break;
        }
        result = StoreLocked(facts, now);
        committed = result.Stored() && db.Commit();
        if (!committed) {
            const bool again = db.LastFailureWasConflict();
            db.Rollback();
            if (result.Stored())
                result = {result.reused ? StoreOutcome::ReuseCommitFailed : StoreOutcome::InsertFailed};
            if (!again)
                break;
        }
    }
    if (!committed)
        return result;
    if (result.reused) {
        // The old patient's records must never show under the new one; they are moved aside,
        // not erased.
        const QString folder = PatientDataFolder(result.id);
        if (QDir(folder).exists())
            QDir().rename(folder, folder + ".deleted-" + now.toString("yyyyMMddhhmmss"));
    }
    // An existing folder is reused; one that cannot be made shows later as a failed record write.
    QDir().mkpath(PatientDataFolder(result.id));
    return result;
}

QString LivePatientsStatement()
{
    return "Select * From Patient Where Isdel = 0 Order By NewDate DESC";
}

QString QueryPatientsStatement(const QString& name, const QString& clinicalNo)
{
    if (name.isEmpty() && clinicalNo.isEmpty())
        return "Select * from Patient Where Isdel = 0 Order By NewDate DESC";
    QString statement = "Select * From Patient Where Isdel = 0";
    // The filters go between the wildcards as typed, so a % or _ typed is a wildcard too.
    if (!name.isEmpty())
        statement += QString(" And ") + "Name Like " + Quoted("%" + name + "%");
    if (!clinicalNo.isEmpty())
        statement += QString(" And ") + "ClinicalNo Like " + Quoted("%" + clinicalNo + "%");
    return statement + "Order By NewDate DESC";
}

bool OpenPatientList(AdoRecordSet& rows, const QString& statement)
{
    Bind(rows, true);
    if (!rows.Open(statement))
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

bool DeletePatient(int32_t id)
{
    const AdoHandle done = AppDatabase::Instance().Execute(
        "Update Patient Set Isdel = '1' Where PatientID = " + QString::number(id));
    return done != nullptr && done->recordsAffected >= 1;
}

std::optional<PatientRecord> ExportPatientRow(int32_t id)
{
    AdoRecordSet rows;
    Bind(rows, false);
    if (!rows.Open(QString("Select * From Patient Where PatientID = %1").arg(id)))
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
    if (!OpenPatientList(rows, "Select * from Patient Where PatientID = " + idText)) {
        lookup.queryFailed = true;
        return lookup;
    }
    PatientRecord row;
    if (ReadPatientRow(rows, row))
        lookup.row = row;
    return lookup;
}
