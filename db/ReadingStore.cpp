#include "db/ReadingStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <memory>

#include "db/AppDatabase.h"
#include "db/PatientFolder.h"
#include "db/PatientStore.h"
#include "foundation/LanguageTable.h"
#include "record/RecordFile.h"

namespace {

constexpr char kTimeFormat[] = "yyyy-MM-dd HH:mm:ss";
// Tries of a confirmation that clashed with another station's lock before it is given up.
constexpr int kConfirmAttempts = 5;

// Every column, in the order the statements below list them.
const QString kColumns =
    "RecordDigest, PatientID, PatientDate, Version, RecordName, RecordTime, Statements, "
    "HeartRate, PDuration, PR, QRS, QT, QTc, PAxis, QRSAxis, TAxis, "
    "Comment, Reason, ReaderLogin, ReaderName, PrintedName, Station, ReadAt";
constexpr int kFirstValueColumn = 7;
constexpr int kCommentColumn = kFirstValueColumn + kReadingValueCount;
const QString kSameRecord = "RecordDigest = ? AND PatientID = ? AND PatientDate = ?";

AppDatabase& Db()
{
    return AppDatabase::Instance();
}

std::vector<QVariant> KeyValues(const RecordKey& key)
{
    return {key.digest, key.patientId, key.patientDate};
}

QVariant Text(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string Utf8(const QVariant& value)
{
    return VariantToText(value).toStdString();
}

bool Insert(const RecordKey& key, const Reading& r)
{
    std::vector<QVariant> values = KeyValues(key);
    values.insert(values.end(), {r.version, key.recordName, key.recordTime,
                                 Text(StatementCodes(r.statements))});
    for (const std::optional<int32_t>& v : r.values)
        values.push_back(v ? QVariant(*v) : QVariant(QMetaType::fromType<int>()));
    for (const std::string* text : {&r.comment, &r.reason, &r.readerLogin, &r.readerName,
                                    &r.printedName, &r.station, &r.readAt})
        values.push_back(Text(*text));
    QString marks = "?";
    for (size_t i = 1; i < values.size(); ++i)
        marks += ", ?";
    return Db().Run("INSERT INTO Reading (" + kColumns + ") VALUES (" + marks + ")", values) != nullptr;
}

// One row of a select of kColumns; nullopt for a row this program did not write.
std::optional<StoredReading> ReadRow(const std::vector<QVariant>& row)
{
    StoredReading out;
    out.key = {VariantToText(row[0]), VariantToLong(row[1]), VariantToText(row[2]),
               VariantToText(row[4]), VariantToText(row[5])};
    Reading& r = out.reading;
    r.version = VariantToLong(row[3]);
    const std::optional<std::vector<ReadingStatement>> statements = ParseStatementCodes(Utf8(row[6]));
    if (!statements || r.version < 0)
        return std::nullopt;
    r.statements = *statements;
    for (int i = 0; i < kReadingValueCount; ++i)
        if (!row[kFirstValueColumn + i].isNull())
            r.values[i] = VariantToLong(row[kFirstValueColumn + i]);
    std::string* texts[] = {&r.comment, &r.reason, &r.readerLogin, &r.readerName,
                            &r.printedName, &r.station, &r.readAt};
    for (int i = 0; i < 7; ++i)
        *texts[i] = Utf8(row[kCommentColumn + i]);
    return out;
}

std::optional<std::vector<StoredReading>> Select(const QString& where, const std::vector<QVariant>& values)
{
    const AdoHandle rows = Db().Run("SELECT " + kColumns + " FROM Reading WHERE " + where +
                                    " ORDER BY RecordDigest, Version", values);
    if (!rows)
        return std::nullopt;
    std::vector<StoredReading> out;
    for (const std::vector<QVariant>& row : rows->rows) {
        std::optional<StoredReading> read = ReadRow(row);
        if (!read)
            return std::nullopt;
        out.push_back(std::move(*read));
    }
    return out;
}

QString RecordTime(const QString& path)
{
    if (const std::optional<std::tm> t = RecordStartTime(path.toStdString()))
        return QDateTime(QDate(t->tm_year + 1900, t->tm_mon + 1, t->tm_mday),
                         QTime(t->tm_hour, t->tm_min)).toString(kTimeFormat);
    return QFileInfo(path).lastModified().toString(kTimeFormat);
}

// The machine's reading of a record, as its review analyses it; the texts do not matter here.
Reading AnalyseMachineReading(const QString& path)
{
    auto engine = std::make_unique<AnalysisEngine>();
    const LanguageTable noTexts;
    ConclusionLines lines;
    ReviewRecord review;
    if (LoadForReview(path.toStdString(), *engine, noTexts, lines, review) != ReviewOutcome::Loaded ||
        !review.analysed)
        return Reading();
    return MachineReading(engine->Diagnosis());
}

// Registers the records of the live patients' folders that have no row yet.
bool RegisterNewRecords()
{
    const AdoHandle patients = Db().Run("SELECT PatientID, NewDate FROM Patient WHERE Isdel = 0", {});
    const AdoHandle known = Db().Run("SELECT PatientID, PatientDate, RecordName FROM Reading WHERE Version = 0", {});
    if (!patients || !known)
        return false;
    QSet<QString> registered;
    for (const std::vector<QVariant>& row : known->rows)
        registered.insert(VariantToText(row[0]) + '|' + VariantToText(row[1]) + '|' + VariantToText(row[2]));
    for (const std::vector<QVariant>& row : patients->rows) {
        PatientRecord patient;
        patient.PatientID = VariantToLong(row[0]);
        patient.NewDate = VariantToText(row[1]);
        const int32_t id = patient.PatientID;
        const QString& date = patient.NewDate;
        const QDir folder(PatientDataFolder(id));
        if (!HoldsRecordsOf(folder.path(), patient))
            continue;
        std::vector<std::string> names = ListRecords(folder.path().toStdString()).records;
        std::sort(names.begin(), names.end());
        for (const std::string& record : names) {
            const QString name = QString::fromStdString(record);
            if (registered.contains(QString::number(id) + '|' + date + '|' + name))
                continue;
            const QString path = folder.filePath(name);
            const QString digest = RecordDigest(path);
            if (!digest.isEmpty() &&
                !RegisterRecord({digest, id, date, name, RecordTime(path)}, AnalyseMachineReading(path)))
                return false;
        }
    }
    return true;
}

}  // namespace

QStringList ReadingColumns()
{
    return kColumns.split(", ");
}

QStringList ReadingCreateStatements()
{
    // A record is known by its content (RecordDigest: SHA-256 of its whole seconds, hex) together
    // with its patient's identity (PatientID with that row's NewDate as PatientDate), so an ID
    // handed on by the row limit never brings the readings of the patient it belonged to, and a
    // record imported under another ID keeps its own. Version 0 is the machine's reading as the
    // record's first analysis gave it, the reading list's source; 1 is the physician's
    // confirmation and every amendment the next. Two stations storing one version at once break
    // the key: the second insert fails. Statements are codes ("11 36 126:124", a lead code after
    // the T wave's); a corrected value is NULL where the machine's stands (axes in tenths of a
    // degree). Times are local, "yyyy-MM-dd HH:mm:ss".
    return {"CREATE TABLE IF NOT EXISTS Reading (RecordDigest TEXT NOT NULL, PatientID INTEGER NOT NULL, "
            "PatientDate DATETIME NOT NULL, Version INTEGER NOT NULL, RecordName TEXT NOT NULL, "
            "RecordTime DATETIME NOT NULL, Statements TEXT NOT NULL, HeartRate INTEGER, "
            "PDuration INTEGER, PR INTEGER, QRS INTEGER, QT INTEGER, QTc INTEGER, PAxis INTEGER, "
            "QRSAxis INTEGER, TAxis INTEGER, Comment TEXT NOT NULL, Reason TEXT NOT NULL, "
            "ReaderLogin TEXT NOT NULL, ReaderName TEXT NOT NULL, PrintedName TEXT NOT NULL, "
            "Station TEXT NOT NULL, ReadAt DATETIME NOT NULL, "
            "PRIMARY KEY (RecordDigest, PatientID, PatientDate, Version))",
            // A patient's records (History, export) go by the patient.
            "CREATE INDEX IF NOT EXISTS ReadingByPatient ON Reading (PatientID, PatientDate)"};
}

QString RecordDigest(const QString& recordPath)
{
    std::string why;
    if (!CheckRecordFile(recordPath.toStdString(), why))
        return {};
    QFile file(recordPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Only whole seconds are the record; a part second at the end is not read by anyone.
    qint64 left = file.size() / kBytesPerSecond * kBytesPerSecond;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    while (left > 0) {
        const QByteArray chunk = file.read(std::min<qint64>(left, 1 << 20));
        if (chunk.isEmpty())
            return {};
        hash.addData(chunk);
        left -= chunk.size();
    }
    return QString::fromLatin1(hash.result().toHex());
}

RecordKeyLookup FindRecordKey(const QString& recordPath)
{
    using Outcome = RecordKeyLookup::Outcome;
    RecordKeyLookup found;
    const QString id = PatientIdForRecord(recordPath);
    if (id.isEmpty()) {
        found.outcome = Outcome::NoPatient;
        return found;
    }
    const PatientLookup patient = FindPatient(id);
    if (patient.queryFailed || !patient.row) {
        found.outcome = patient.queryFailed ? Outcome::QueryFailed : Outcome::NoRow;
        return found;
    }
    if (!HoldsRecordsOf(QFileInfo(recordPath).path(), *patient.row)) {
        found.outcome = Outcome::NoRow;  // the folder's patient is gone; its ID is another's now
        return found;
    }
    found.patient = *patient.row;
    found.key = {RecordDigest(recordPath), found.patient.PatientID, found.patient.NewDate,
                 QFileInfo(recordPath).fileName(), RecordTime(recordPath)};
    found.outcome = found.key.digest.isEmpty() ? Outcome::NotRecord : Outcome::Found;
    return found;
}

std::optional<std::vector<Reading>> LoadReadings(const RecordKey& key)
{
    const std::optional<std::vector<StoredReading>> rows = Select(kSameRecord, KeyValues(key));
    if (!rows)
        return std::nullopt;
    std::vector<Reading> versions;
    for (const StoredReading& row : *rows)
        versions.push_back(row.reading);
    return versions;
}

LatestReading LatestReadingOf(const QString& recordPath)
{
    LatestReading latest;
    const RecordKeyLookup found = FindRecordKey(recordPath);
    if (found.outcome == RecordKeyLookup::Outcome::QueryFailed) {
        latest.failed = true;
        return latest;
    }
    if (found.outcome != RecordKeyLookup::Outcome::Found)
        return latest;
    const std::optional<std::vector<Reading>> versions = LoadReadings(found.key);
    latest.failed = !versions;
    if (versions && !versions->empty() && versions->back().version > 0)
        latest.reading = versions->back();
    return latest;
}

bool RegisterRecord(const RecordKey& key, const Reading& machine)
{
    const AdoHandle count = Db().Run("SELECT COUNT(*) FROM Reading WHERE " + kSameRecord, KeyValues(key));
    if (!count)
        return false;
    if (VariantToLong(count->rows.at(0).at(0)) > 0)
        return true;
    Reading v0 = machine;
    v0.version = 0;
    v0.readAt = QDateTime::currentDateTime().toString(kTimeFormat).toStdString();
    // Another station registering the same record at the same moment breaks the key: it is there.
    return Insert(key, v0) || Db().LastFailureWasConflict();
}

ConfirmResult ConfirmReading(const RecordKey& key, const Reading& machine, int basedOn,
                             Reading reading, const QDateTime& now)
{
    ConfirmResult result;
    reading.version = basedOn + 1;
    reading.readAt = now.toString(kTimeFormat).toStdString();
    for (std::string* text : {&reading.comment, &reading.reason, &reading.readerLogin,
                              &reading.readerName, &reading.printedName, &reading.station})
        *text = CleanReadingText(*text);
    result.problem = CheckReading(reading);
    if (result.problem != ReadingProblem::Valid || basedOn < 0) {
        result.outcome = ConfirmOutcome::Invalid;
        return result;
    }
    AppDatabase& db = Db();
    for (int attempt = 0; attempt < kConfirmAttempts; ++attempt) {
        if (!db.BeginLocked("Reading")) {
            if (db.LastFailureWasConflict())
                continue;
            return result;
        }
        // The version this reading builds on must still be the latest: otherwise another station
        // confirmed meanwhile, and this one is told whose reading stands now.
        const AdoHandle latest = db.Run("SELECT MAX(Version) FROM Reading WHERE " + kSameRecord, KeyValues(key));
        const bool none = latest && latest->rows.at(0).at(0).isNull();
        const int stored = none ? 0 : latest ? VariantToLong(latest->rows.at(0).at(0)) : -1;
        if (stored != basedOn) {
            db.Rollback();
            const std::optional<std::vector<Reading>> versions = stored < 0 ? std::nullopt : LoadReadings(key);
            if (versions && !versions->empty()) {
                result.outcome = ConfirmOutcome::Conflict;
                result.reading = versions->back();
            }
            return result;
        }
        Reading v0 = machine;
        v0.version = 0;
        v0.readAt = reading.readAt;
        if ((!none || Insert(key, v0)) && Insert(key, reading) && db.Commit()) {
            result.outcome = ConfirmOutcome::Confirmed;
            result.reading = reading;
            return result;
        }
        // A version taken meanwhile breaks the key; the next try finds it and says whose it is.
        const bool again = db.LastFailureWasConflict();
        db.Rollback();
        if (!again)
            return result;
    }
    return result;
}

std::optional<std::map<QString, Reading>> LatestReadingsOfPatient(int32_t patientId,
                                                                  const QString& patientDate)
{
    const std::optional<std::vector<StoredReading>> rows = PatientReadings(patientId, patientDate);
    if (!rows)
        return std::nullopt;
    std::map<QString, Reading> latest;
    for (const StoredReading& row : *rows)
        latest[row.key.digest] = row.reading;  // versions come in order
    return latest;
}

std::optional<std::vector<UnreadRecord>> UnreadRecords()
{
    if (!RegisterNewRecords())
        return std::nullopt;
    // A record belongs to the live patient whose identity it carries; a patient ID handed on
    // by the row limit leaves its old readings out.
    QStringList columns = kColumns.split(", ");
    for (QString& column : columns)
        column.prepend("r.");
    const AdoHandle rows = Db().Run(
        "SELECT " + columns.join(", ") + ", p.Name, p.ClinicalNo FROM Reading r JOIN Patient p ON p.PatientID = r.PatientID "
            "AND p.NewDate = r.PatientDate WHERE p.Isdel = 0 AND r.Version = 0 AND NOT EXISTS "
            "(SELECT 1 FROM Reading c WHERE c.RecordDigest = r.RecordDigest AND c.PatientID = "
            "r.PatientID AND c.PatientDate = r.PatientDate AND c.Version > 0) "
            "ORDER BY r.RecordTime, r.PatientID, r.RecordName",
        {});
    if (!rows)
        return std::nullopt;
    std::vector<UnreadRecord> unread;
    for (const std::vector<QVariant>& row : rows->rows) {
        std::optional<StoredReading> read = ReadRow(row);
        if (!read)
            return std::nullopt;
        unread.push_back({read->key, VariantToText(row[row.size() - 2]),
                          VariantToText(row[row.size() - 1]), read->reading});
    }
    return unread;
}

std::optional<std::vector<StoredReading>> PatientReadings(int32_t patientId, const QString& patientDate)
{
    return Select("PatientID = ? AND PatientDate = ?", {patientId, patientDate});
}

bool StoreReadings(const std::vector<StoredReading>& rows)
{
    AppDatabase& db = Db();
    if (!db.BeginLocked("Reading"))
        return false;
    for (const StoredReading& row : rows) {
        if (!Insert(row.key, row.reading)) {
            db.Rollback();
            return false;
        }
    }
    return db.Commit();
}
