#include "history/PatientExchange.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "foundation/WholeFile.h"
#include "db/PatientStore.h"
#include "history/PatientInfoXml.h"

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

QStringList RecordFileNames(const QString& folder)
{
    // Links and special files are listed too, so a copy can report them rather than pass over
    // them in silence; only folders are left out.
    return QDir(folder).entryList({"*.cv"}, QDir::Files | QDir::System | QDir::Hidden,
                                  QDir::Unsorted);
}

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

    const QString dataFolder = PatientDataFolder(id);
    const QStringList names = RecordFileNames(dataFolder);
    if (names.isEmpty()) {
        result.outcome = ExportResult::Outcome::NoRecords;
        return result;
    }
    for (const QString& name : names)
        if (!CopyRecordFile(QDir(dataFolder).filePath(name), QDir(result.folder).filePath(name)))
            result.problems.push_back({name, "copy failed"});

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

    const QString dataFolder = PatientDataFolder(stored.id);
    if (!QDir().mkpath(dataFolder))
        result.problems.push_back({dataFolder, "save error"});
    // Names come from the listing of the chosen folder itself: plain names, no path in them.
    const QStringList names = RecordFileNames(folder);
    for (const QString& name : names)
        if (!CopyRecordFile(QDir(folder).filePath(name), QDir(dataFolder).filePath(name)))
            result.problems.push_back({name, "copy failed"});
    if (!result.problems.empty())
        result.outcome = ImportResult::Outcome::Incomplete;
    else
        result.outcome = names.isEmpty() ? ImportResult::Outcome::NoRecords
                                         : ImportResult::Outcome::Imported;
    return result;
}
