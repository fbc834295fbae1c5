// Start-up: the database check, and the settings and language fallbacks said before it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <fstream>

#include "app/Application.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

// Every database that cannot be used stops start-up with one stop box naming it (an empty file
// opens as an empty database, so it must be refused like a missing one).
TEST(Application, UnusableDatabaseIsReportedAndStopsStartUp)
{
    EnsureQtApp();
    TempDir dir(true);
    const struct {
        const char* file;        // the bytes of Corvida.mdb; null: the shipped empty database
        std::string schema;      // a table made in it first
        std::string section;     // [Database] in Settings.ini
        std::string shown;       // in the one box shown
    } cases[] = {
        {"not a database file, just some text of sufficient length for a header....", "", "", "Corvida.mdb"},
        {"", "", "", "Corvida.mdb"},
        {"", "Create Table Other (x INTEGER)", "", "Corvida.mdb"},
        {"", "Create Table Patient (PatientID INTEGER PRIMARY KEY, Name TEXT, Age INTEGER, Height INTEGER, "
             "Weight INTEGER, Blood INTEGER, Sex INTEGER, Other TEXT, ClinicalNo TEXT, NewDate DATETIME)",
         "", "Corvida.mdb"},  // no IsDel column
        {nullptr, "", "Driver=Access", "[Database] Driver \"Access\" is neither SQLite nor PostgreSQL."},
        // No server listens in an empty folder: its socket is not there.
        {nullptr, "", "Driver=PostgreSQL\nHost=" + dir.Path().string() + "\nUser=corvida",
         "The patient database \"postgresql://corvida@"},
        // A share that is not mounted is never stood in for by a local folder.
        {nullptr, "", "Data=" + (dir.Path() / "share/Data").string(), "The record folder \""},
    };

    // Nothing there, not even a language file, Settings.ini missing or empty: each said once, first.
    RecordingPrompt prompt;
    for (const char* settings : {static_cast<const char*>(nullptr), " \r\n"}) {
        Application app;
        app.settings.BuildSettingsPath();
        QFile::remove(app.settings.configPath);
        if (settings)
            std::ofstream(app.settings.configPath.toStdString()) << settings;
        prompt.Clear();
        app.SetPrompt(&prompt);
        EXPECT_FALSE(app.InitInstance());
        ASSERT_EQ(prompt.Texts().size(), 3);
        EXPECT_EQ(prompt.Texts()[0], "The settings file \"" + QDir::toNativeSeparators(app.settings.configPath) +
                                         "\" cannot be read, the default settings are used.");
        EXPECT_TRUE(prompt.Texts()[1].endsWith("\" cannot be loaded, - is used instead."));
        EXPECT_TRUE(prompt.Texts()[2].contains("Corvida.mdb"));
        EXPECT_FALSE(fs::exists("Corvida.mdb"));
    }

    fs::create_directory("language");
    fs::copy_file(CORVIDA_SOURCE_DIR "/language/English.ini", "language/English.ini");
    for (const auto& c : cases) {
        QFile::remove("Corvida.mdb");
        if (c.file)
            std::ofstream("Corvida.mdb") << c.file;
        else
            fs::copy_file(CORVIDA_APP_DIR "/Corvida.mdb", "Corvida.mdb");
        if (!c.schema.empty())
            ASSERT_EQ(QProcess::execute("sqlite3", {"Corvida.mdb", QString::fromStdString(c.schema)}), 0);
        Application app;
        app.settings.BuildSettingsPath();
        std::ofstream(app.settings.configPath.toStdString()) << "[Language]\nPath=English\n[Database]\n" << c.section << "\n";
        prompt.Clear();
        app.SetPrompt(&prompt);
        EXPECT_FALSE(app.InitInstance()) << c.shown;
        ASSERT_EQ(prompt.shown.size(), 1u) << c.shown << prompt.Texts().join("|").toStdString();
        EXPECT_TRUE(prompt.shown[0].text.contains(QString::fromStdString(c.shown))) << prompt.LastText().toStdString();
        EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Stop);
        QFile::remove(app.settings.configPath);
    }
    EXPECT_FALSE(fs::exists(dir.Path() / "share"));
}
