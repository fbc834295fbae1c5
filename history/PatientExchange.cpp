#include "history/PatientExchange.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "foundation/WholeFile.h"
#include "db/PatientStore.h"
#include "history/PatientInfoXml.h"
#include "record/RecordFile.h"

namespace {

// Copies one record file whole, replacing what is at dst. Only a regular file is read: a link
// could lead out of the folder the operator chose, and a device or pipe would never end.
bool CopyRecordFile(const QString& src, const QString& dst)
{
    const QFileInfo source(src);
    if (!source.isFile() || source.isSymLink())
        return false;
    std::string why;
    return WriteFileWhole(
        dst.toStdString(),
        [&src](const std::filesystem::path& temporary, std::string& failure) {
            std::error_code error;
            std::filesystem::copy_file(src.toStdString(), temporary,
                                       std::filesystem::copy_options::overwrite_existing, error);
            failure = error.message();
            return !error;
        },
        why);
}

bool SavePatientInfo(int32_t id, const QString& path)
{
    const std::optional<PatientRecord> row = ExportPatientRow(id);
    if (!row)
        return false;
    const std::optional<QByteArray> xml = WritePatientInfoXml(*row);
    if (!xml)
        return false;
    std::string why;
    return WriteFileWhole(path.toStdString(), xml->toStdString(), why);
}

// The untrusted PatientInfo.xml of an import folder; empty unless it is a sound file.
std::optional<PatientRecord> LoadPatientInfo(const QString& folder)
{
    const QString path = QDir(folder).filePath(kPatientInfoFile);
    const QFileInfo info(path);
    if (!info.isFile() || info.isSymLink() || info.size() > kMaxPatientInfoBytes)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The size may change between the look and the read; the reader refuses anything over it.
    return ReadPatientInfoXml(file.read(kMaxPatientInfoBytes + 1));
}

}  // namespace

ExportResult ExportPatient(int32_t id, const QString& destination, const QDateTime& now)
{
    ExportResult result;
    // A folder is never shared: a second export within the same second takes the next free name
    // (…-2, …-3), so no patient's files mix with or replace another's.
    const QString base = QDir(destination).filePath(now.toString(kExportFolderFormat));
    result.folder = base;
    for (int n = 2; !QDir().mkdir(result.folder); ++n) {
        if (!QFileInfo::exists(result.folder) || n > kMaxExportFolderTries) {
            result.outcome = ExportResult::Outcome::FolderFailed;
            return result;
        }
        result.folder = base + "-" + QString::number(n);
    }

    if (!SavePatientInfo(id, QDir(result.folder).filePath(kPatientInfoFile)))
        result.problems.push_back({kPatientInfoFile, "save error"});

    const QDir dataFolder(PatientDataFolder(id));
    const RecordListing listing = ListRecords(dataFolder.path().toStdString());
    for (const std::string& other : listing.others)
        result.problems.push_back({QString::fromStdString(other), "not a record"});
    if (listing.records.empty()) {
        result.outcome = ExportResult::Outcome::NoRecords;
        return result;
    }
    for (const std::string& record : listing.records) {
        const QString name = QString::fromStdString(record);
        if (!CopyRecordFile(dataFolder.filePath(name), QDir(result.folder).filePath(name)))
            result.problems.push_back({name, "copy failed"});
    }

    result.outcome = result.problems.empty() ? ExportResult::Outcome::Exported
                                             : ExportResult::Outcome::Incomplete;
    return result;
}

ImportResult ImportPatient(const QString& folder, const QDateTime& now)
{
    ImportResult result;
    const std::optional<PatientRecord> facts = LoadPatientInfo(folder);
    if (!facts) {
        result.outcome = ImportResult::Outcome::NoData;
        return result;
    }

    const StoreResult stored = StorePatient(*facts, now);
    if (!stored.Stored()) {
        result.outcome = ImportResult::Outcome::NotStored;
        result.store = stored.outcome;
        return result;
    }
    result.id = stored.id;

    const QDir dataFolder(PatientDataFolder(stored.id));
    const RecordListing listing = ListRecords(QDir(folder).path().toStdString());
    for (const std::string& other : listing.others)
        result.problems.push_back({QString::fromStdString(other), "not a record"});
    int copied = 0;
    for (const std::string& record : listing.records) {
        const QString name = QString::fromStdString(record);
        const QString source = QDir(folder).filePath(name);
        // An empty file or one of any other bytes would be listed as a record the patient has.
        std::string why;
        if (!CheckRecordFile(source.toStdString(), why) || QFileInfo(source).size() < kBytesPerSecond)
            result.problems.push_back({name, "not a record"});
        else if (!CopyRecordFile(source, dataFolder.filePath(name)))
            result.problems.push_back({name, "copy failed"});
        else
            ++copied;
    }
    if (!result.problems.empty())
        result.outcome = ImportResult::Outcome::Incomplete;
    else
        result.outcome = copied == 0 ? ImportResult::Outcome::NoRecords
                                     : ImportResult::Outcome::Imported;
    return result;
}
