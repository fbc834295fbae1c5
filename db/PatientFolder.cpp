#include "db/PatientFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include "db/PatientStore.h"
#include "foundation/Translate.h"
#include "foundation/WholeFile.h"

namespace {

// A stamp is a few hundred bytes; anything far bigger is no stamp of ours.
constexpr std::uintmax_t kMaxStampBytes = 64 * 1024;
// Names tried for one folder set aside within the same second before giving up.
constexpr int kMaxAsideTries = 100;

QString StampPath(const QString& folder)
{
    return QDir(folder).filePath(kPatientStampFile);
}

// The patient a folder is stamped for; empty when it has no stamp that can be read.
std::optional<PatientRecord> ReadStamp(const QString& folder)
{
    std::string text;
    if (!ReadRegularFile(StampPath(folder).toStdString(), text, kMaxStampBytes))
        return std::nullopt;
    const QJsonObject stamp = QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
    if (!stamp.value("PatientID").isDouble() || !stamp.value("NewDate").isString())
        return std::nullopt;
    PatientRecord row;
    row.PatientID = stamp.value("PatientID").toInt();
    row.NewDate = stamp.value("NewDate").toString();
    return row;
}

bool SameFolder(const QString& a, const QString& b)
{
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

bool Exists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

}  // namespace

bool SamePatient(const PatientRecord& a, const PatientRecord& b)
{
    return a.PatientID == b.PatientID && a.NewDate == b.NewDate;
}

bool HoldsRecordsOf(const QString& folder, const PatientRecord& row)
{
    const std::optional<PatientRecord> stamp = ReadStamp(folder);
    return !stamp || SamePatient(*stamp, row);
}

std::optional<QString> MoveFolderAside(const QString& folder, const QDateTime& now)
{
    if (!Exists(folder))
        return QString();
    const QString base = folder + ".deleted-" + now.toString("yyyyMMddhhmmss");
    QString aside = base;
    for (int n = 2; Exists(aside); ++n) {
        if (n > kMaxAsideTries)
            return std::nullopt;
        aside = base + "-" + QString::number(n);
    }
    if (!QDir().rename(folder, aside))
        return std::nullopt;
    return aside;
}

bool StampPatientFolder(const QString& folder, const PatientRecord& row)
{
    const QJsonObject stamp{{"PatientID", row.PatientID},
                            {"NewDate", row.NewDate},
                            {"Name", row.Name},
                            {"ClinicalNo", row.ClinicalNo}};
    std::string why;
    return WriteFileWhole(StampPath(folder).toStdString(),
                          QJsonDocument(stamp).toJson().toStdString(), why);
}

FolderCheckResult CheckPatientFolder(const QString& folder, const PatientRecord& row,
                                     const QDateTime& now)
{
    if (!Exists(folder))
        return {FolderCheck::Missing};
    const bool own = SameFolder(folder, PatientDataFolder(row.PatientID));
    const std::optional<PatientRecord> stamp = ReadStamp(folder);
    if (!stamp) {
        // Made before folders carried stamps: it is the live row's, which owns the ID now.
        if (own && row.Isdel == 0)
            StampPatientFolder(folder, row);
        return {FolderCheck::Own};
    }
    if (SamePatient(*stamp, row))
        return {FolderCheck::Own};
    const std::optional<QString> aside = own ? MoveFolderAside(folder, now) : std::nullopt;
    if (!aside)
        return {FolderCheck::Foreign};
    return {FolderCheck::MovedAside, *aside};
}

QString DescribeFolderCheck(const FolderCheckResult& result, const QString& folder,
                            const LanguageTable& language)
{
    const QString shown = QDir::toNativeSeparators(folder);
    if (result.check == FolderCheck::MovedAside)
        return Translate(language, "Records of another patient moved aside") + "\n" + shown + " -> "
               + QDir::toNativeSeparators(result.aside);
    if (result.check == FolderCheck::Foreign)
        return Translate(language, "Records of another patient") + "\n" + shown;
    return {};
}
