#include "app/Application.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>
#include <QFileInfo>
#include <QSqlDatabase>

#include "app/ProfileFile.h"
#include "app/Prompt.h"
#include "db/AppDatabase.h"
#include "ui/MainWindow.h"

Application& Application::Instance()
{
    static Application app;
    return app;
}

Application::Application() : ownPrompt_(std::make_unique<QtPrompt>()), prompt_(ownPrompt_.get()) {}

void Application::SetPrompt(Prompt* prompt)
{
    prompt_ = prompt ? prompt : ownPrompt_.get();
}

void Application::BuildSettingsPath()
{
    settings.configPath = QDir(QCoreApplication::applicationDirPath()).filePath("Settings.ini");
}

int Application::PortNumber() const
{
    // Leading digits only, as a plain decimal conversion does: "12" is 12, "x3" is 0.
    int n = 0;
    for (QChar c : settings.portText.trimmed()) {
        if (!c.isDigit() || c.unicode() > '9')
            break;
        n = n * 10 + (c.unicode() - '0');
        if (n > 100000)
            break;
    }
    return n;
}

QString Application::Translate(const char* key) const
{
    return QString::fromStdString(language.Translate(key));
}

QString Application::Translate(const QString& key) const
{
    return QString::fromStdString(language.Translate(key.toStdString()));
}

void Application::ClearAnalysisResults()
{
    engine.ClearResults();
    for (std::string& line : state.conclusion.line)
        line.clear();
}

bool Application::InitInstance()
{
    BuildSettingsPath();
    const std::string ini = settings.configPath.toStdString();
    settings.portText = QString::fromStdString(GetProfileString(ini, "CommNo", "Path"));
    if (settings.portText.isEmpty())
        settings.portText = "3";
    settings.languageName = QString::fromStdString(GetProfileString(ini, "Language", "Path"));
    const QString toLoad = settings.languageName.isEmpty() ? QString("中文") : settings.languageName;

    language.SetDirectory("language");
    language.Scan();
    language.Load(toLoad.toStdString());

    // The program never creates the database: a missing or unreadable file is named and the
    // program ends with an error status instead of vanishing without a word.
    AppDatabase& db = AppDatabase::Instance();
    db.SetConnectTimeOut(5);
    if (!db.Open("Corvida.mdb")) {
        const QString text = QString("The patient database \"%1\" cannot be opened.\n%2")
                                 .arg(QDir::current().absoluteFilePath("Corvida.mdb"), db.LastError());
        qCritical("%s", qPrintable(text));
        prompt_->Show("Corvida", text, PromptIcon::Stop, PromptButtons::Ok);
        return false;
    }

    state = RunState();
    QDir().mkpath("Data");
    return true;
}

int Application::Run(const QString& demoPath)
{
    MainWindow window;
    mainWindow = &window;
    window.showFullScreen();
    if (!demoPath.isEmpty())
        QTimer::singleShot(0, &window, [&window, demoPath] { window.PlayDemo(demoPath); });
    int status = QCoreApplication::exec();
    mainWindow = nullptr;
    return status;
}

void Application::ExitInstance()
{
    AppDatabase::Instance().Close();
}
