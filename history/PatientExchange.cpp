#include "history/PatientExchange.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "app/Application.h"
#include "app/Prompt.h"
#include "db/PatientStore.h"
#include "history/PatientInfoXml.h"

namespace {

// Copies one record file, replacing what is at dst. Only a regular file is read: a link could
// lead out of the folder the operator chose, and a device or pipe would never end.
bool CopyRecordFile(const QString& src, const QString& dst)
{
    const QFileInfo source(src);
    if (!source.isFile() || source.isSymLink())
        return false;
    const QFileInfo target(dst);
    if ((target.exists() || target.isSymLink()) && !QFile::remove(dst))
        return false;
    return QFile::copy(src, dst);
}

bool SavePatientInfo(int32_t id, const QString& path)
{
    const std::optional<PatientRecord> row = ExportPatientRow(id);
    if (!row)
        return false;
    const std::optional<QByteArray> xml = WritePatientInfoXml(*row);
    if (!xml)
        return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(*xml) == xml->size() && file.commit();
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

void ShowHistoryMessage(const QString& text)
{
    App().GetPrompt().Show(Translate("History Patient List"), text, PromptIcon::Exclamation,
                           PromptButtons::Ok);
}

QStringList RecordFileNames(const QString& folder)
{
    // Links and special files are listed too, so a copy can report them rather than pass over
    // them in silence; only folders are left out.
    return QDir(folder).entryList({"*.cv"}, QDir::Files | QDir::System | QDir::Hidden,
                                  QDir::Unsorted);
}

bool ExportPatient(int32_t id, const QString& destination, const QDateTime& now)
{
    const QString exportFolder = QDir(destination).filePath(now.toString(kExportFolderFormat));
    // Within the same second the folder exists already and its files are replaced.
    QDir().mkdir(exportFolder);
    if (!QFileInfo(exportFolder).isDir()) {
        ShowHistoryMessage(Translate("Export incomplete") + "\n" + QDir::toNativeSeparators(exportFolder));
        return false;
    }

    QStringList problems;
    if (!SavePatientInfo(id, QDir(exportFolder).filePath(kPatientInfoFile)))
        problems << QString(kPatientInfoFile) + ": " + Translate("save error");

    const QString dataFolder = PatientDataFolder(id);
    const QStringList names = RecordFileNames(dataFolder);
    if (names.isEmpty()) {
        if (problems.isEmpty())
            ShowHistoryMessage(Translate("no data file copied"));
        else
            ShowHistoryMessage(Translate("Export incomplete") + "\n" + problems.join("\n") + "\n" +
                               Translate("no data file copied"));
        return false;
    }
    for (const QString& name : names)
        if (!CopyRecordFile(QDir(dataFolder).filePath(name), QDir(exportFolder).filePath(name)))
            problems << name + ": " + Translate("copy failed");

    if (!problems.isEmpty()) {
        ShowHistoryMessage(Translate("Export incomplete") + "\n" + problems.join("\n"));
        return false;
    }
    ShowHistoryMessage(Translate("Exported"));
    return true;
}

std::optional<int32_t> ImportPatient(const QString& folder, const QDateTime& now)
{
    const std::optional<PatientRecord> facts = LoadPatientInfo(folder);
    if (!facts) {
        ShowHistoryMessage(Translate("No data!"));
        return std::nullopt;
    }

    const StoreResult stored = StorePatient(*facts, "History Patient List", now);
    switch (stored.outcome) {
    case StoreOutcome::Stored: break;
    case StoreOutcome::ReuseOpenFailed: ShowHistoryMessage(Translate("Import Failed")); return std::nullopt;
    case StoreOutcome::ReuseCommitFailed: ShowHistoryMessage(Translate("Import failed")); return std::nullopt;
    default: return std::nullopt;  // StorePatient has shown its message
    }

    const QString dataFolder = PatientDataFolder(stored.id);
    QDir().mkpath(dataFolder);
    // Names come from the listing of the chosen folder itself: plain names, no path in them.
    const QStringList names = RecordFileNames(folder);
    if (names.isEmpty()) {
        ShowHistoryMessage(Translate("no data file copied"));
        return stored.id;
    }
    for (const QString& name : names)
        if (!CopyRecordFile(QDir(folder).filePath(name), QDir(dataFolder).filePath(name)))
            ShowHistoryMessage(Translate("copy failed"));
    ShowHistoryMessage(Translate("Imported"));
    return stored.id;
}
