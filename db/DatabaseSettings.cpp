#include "db/DatabaseSettings.h"

#include <QDir>
#include <QRegularExpression>
#include <algorithm>

#include "foundation/ProfileFile.h"
#include "db/AppDatabase.h"
#include "db/PatientStore.h"

namespace {
constexpr char kDatabaseFile[] = "Corvida.mdb";

// A value with a ';' or '=' would add keys of its own to the connection string (Database=x;Host=y
// connecting elsewhere than the key names), and a control character has no place in any of them.
bool Usable(const QString& value)
{
    return std::none_of(value.begin(), value.end(),
                        [](QChar c) { return c == ';' || c == '=' || c.category() == QChar::Other_Control; });
}

QString Setting(const std::string& file, const char* key, DatabaseSettings& settings)
{
    const QString value = QString::fromStdString(GetProfileString(file, "Database", key));
    if (!Usable(value) && settings.problem.isEmpty())
        settings.problem = QString("[Database] %1 \"%2\" holds a character that is not allowed there "
                                   "(';', '=' or a control character).")
                               .arg(key, QString(value).replace(QRegularExpression("\\p{Cc}"), "?"));
    return value;
}
}  // namespace

DatabaseSettings ReadDatabaseSettings(const std::string& settingsFile)
{
    DatabaseSettings settings;
    const QString driver = Setting(settingsFile, "Driver", settings);
    settings.postgres = driver.compare("PostgreSQL", Qt::CaseInsensitive) == 0;
    if (!settings.postgres && !driver.isEmpty() && driver.compare("SQLite", Qt::CaseInsensitive) != 0)
        settings.problem = QString("[Database] Driver \"%1\" is neither SQLite nor PostgreSQL.").arg(driver);
    settings.host = Setting(settingsFile, "Host", settings);
    const QString port = Setting(settingsFile, "Port", settings);
    bool number = port.isEmpty();
    if (!port.isEmpty())
        settings.port = port.toInt(&number);
    if (!number || settings.port < 1 || settings.port > 65535)
        settings.problem = QString("[Database] Port \"%1\" is no port number (1 to 65535).").arg(port);
    if (const QString name = Setting(settingsFile, "Database", settings); !name.isEmpty())
        settings.database = name;
    settings.user = Setting(settingsFile, "User", settings);
    settings.dataRoot = QDir::fromNativeSeparators(Setting(settingsFile, "Data", settings));
    return settings;
}

QString DatabaseLocation(const DatabaseSettings& settings)
{
    if (!settings.postgres)
        return QDir::current().absoluteFilePath(kDatabaseFile);
    return QString("postgresql://%1@%2:%3/%4")
        .arg(settings.user, settings.host)
        .arg(settings.port)
        .arg(settings.database);
}

bool OpenPatientDatabase(const DatabaseSettings& settings, QString& error)
{
    AppDatabase& db = AppDatabase::Instance();
    if (!settings.problem.isEmpty()) {
        error = settings.problem;
        return false;
    }
    const bool open = settings.postgres
                          ? db.OpenServer(settings.host, settings.port, settings.database, settings.user)
                          : db.Open(kDatabaseFile);
    if (!open) {
        error = db.LastError();
        return false;
    }
    SetDataRoot(settings.dataRoot);
    return true;
}
