#include "app/Application.h"

#include <QDir>
#include <QFileInfo>

#include "foundation/ProfileFile.h"
#include "foundation/WholeFile.h"
#include "dialogs/Prompt.h"
#include "db/AppDatabase.h"
#include "db/DatabaseSettings.h"
#include "db/PatientStore.h"

namespace {
const char* const kLanguageFallBack = "The language \"%1\" cannot be loaded, %2 is used instead.";
const char* const kSettingsUnread = "The settings file \"%1\" cannot be read, the default settings are used.";
}

Application::Application() : ownPrompt_(std::make_unique<QtPrompt>()), prompt_(ownPrompt_.get()) {}

Application::~Application() = default;

void Application::SetPrompt(Prompt* prompt)
{
    prompt_ = prompt ? prompt : ownPrompt_.get();
}

AppContext Application::Context()
{
    return AppContext{settings, language, *prompt_, engine};
}

void Application::Warn(const char* key, const QString& first, const QString& second)
{
    QString text = QString::fromStdString(language.Translate(key));
    if (text.isEmpty())
        text = key;
    text = second.isNull() ? text.arg(first) : text.arg(first, second);
    qWarning("%s", qPrintable(text));
    prompt_->Show("Corvida", text, PromptIcon::Exclamation, PromptButtons::Ok);
}

bool Application::InitInstance()
{
    settings.BuildSettingsPath();
    const std::string ini = settings.configPath.toStdString();
    // A file emptied or lost would otherwise make the station run on defaults without a word:
    // another language, another port, the local database instead of the shared one.
    std::string text;
    const bool settingsRead = ReadRegularFile(ini, text) && !Trim(text).empty();
    settings.portText = QString::fromStdString(GetProfileString(ini, "CommNo", "Path"));
    if (settings.portText.isEmpty())
        settings.portText = "3";
    settings.languageName = QString::fromStdString(GetProfileString(ini, "Language", "Path"));
    const QString toLoad = settings.languageName.isEmpty() ? QString("中文") : settings.languageName;

    language.SetDirectory("language");
    language.Scan();
    // A name that matches no file, or a file without texts, would leave every caption blank:
    // another language is taken and the user is told once which.
    const std::string loaded = language.LoadOrFallBack(toLoad.toStdString());
    if (!settingsRead)
        Warn(kSettingsUnread, QDir::toNativeSeparators(settings.configPath));
    if (loaded != toLoad.toStdString())
        Warn(kLanguageFallBack, toLoad, loaded.empty() ? QString("-") : QString::fromStdString(loaded));

    // The program never creates the database: a missing or unreadable one is named and the
    // program ends with an error status instead of vanishing without a word.
    AppDatabase& db = AppDatabase::Instance();
    db.SetConnectTimeOut(kDatabaseTimeLimitSeconds);
    const DatabaseSettings where = ReadDatabaseSettings(ini);
    QString error;
    if (!OpenPatientDatabase(where, error)) {
        const QString text = QString("The patient database \"%1\" cannot be opened.\n%2")
                                 .arg(DatabaseLocation(where), error);
        qCritical("%s", qPrintable(text));
        prompt_->Show("Corvida", text, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }
    // A record folder named in Settings.ini is a share the stations see. It is never made here:
    // while the share is not mounted, records would gather unseen on this PC.
    if (!where.dataRoot.isEmpty() && !QFileInfo(where.dataRoot).isDir()) {
        const QString text = QString("The record folder \"%1\" cannot be reached.").arg(where.dataRoot);
        qCritical("%s", qPrintable(text));
        prompt_->Show("Corvida", text, PromptIcon::Stop, PromptButtons::Ok);
        db.Close();
        return false;
    }

    QDir().mkpath(DataRoot());
    return true;
}

void Application::ExitInstance()
{
    AppDatabase::Instance().Close();
}
