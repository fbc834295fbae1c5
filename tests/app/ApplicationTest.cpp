// Start-up: the database check, and the language fallback said before it.
#include <gtest/gtest.h>

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <fstream>
#include <memory>

#include "app/Application.h"
#include "app/ProfileFile.h"
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
    const std::string patientNoIsdel =
        "Create Table Patient (PatientID INTEGER PRIMARY KEY, Name TEXT, Age INTEGER, Height INTEGER, "
        "Weight INTEGER, Blood INTEGER, Sex INTEGER, Other TEXT, ClinicalNo TEXT, NewDate DATETIME)";
    const struct {
        const char* file;        // the bytes of Corvida.mdb; null: the shipped empty database
        std::string schema;      // a table made in it first
        std::string section;     // [Database] in Settings.ini
        std::string shown;       // in the one box shown
    } cases[] = {
        {"not a database file, just some text of sufficient length for a header....", "", "", "Corvida.mdb"},
        {"", "", "", "Corvida.mdb"},
        {"", "Create Table Other (x INTEGER)", "", "Corvida.mdb"},
        {"", patientNoIsdel, "", "Corvida.mdb"},
        {nullptr, "", "Driver=Access", "[Database] Driver \"Access\" is neither SQLite nor PostgreSQL."},
        // No server listens in an empty folder: its socket is not there.
        {nullptr, "", "Driver=PostgreSQL\nHost=" + dir.Path().string() + "\nUser=corvida",
         "The patient database \"postgresql://corvida@"},
        // A share that is not mounted is never stood in for by a local folder.
        {nullptr, "", "Data=" + (dir.Path() / "share/Data").string(), "The record folder \""},
    };

    // Nothing there, not even a language file: that is said once, in English, before the database.
    auto app = std::make_unique<Application>();
    RecordingPrompt prompt;
    app->SetPrompt(&prompt);
    EXPECT_FALSE(app->InitInstance());
    EXPECT_EQ(prompt.Texts().size(), 2);
    EXPECT_TRUE(prompt.Texts().value(0).endsWith("\" cannot be loaded, - is used instead."));
    EXPECT_TRUE(prompt.Texts().value(1).contains("Corvida.mdb"));

    fs::create_directory("language");
    fs::copy_file(CORVIDA_SOURCE_DIR "/language/English.ini", "language/English.ini");
    for (const auto& c : cases) {
        QFile::remove("Corvida.mdb");
        if (c.file)
            std::ofstream("Corvida.mdb") << c.file;
        else
            fs::copy_file(CORVIDA_APP_DIR "/Corvida.mdb", "Corvida.mdb");
        if (!c.schema.empty()) {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "app-test-schema");
                db.setDatabaseName("Corvida.mdb");
                ASSERT_TRUE(db.open() && QSqlQuery(db).exec(QString::fromStdString(c.schema)));
            }
            QSqlDatabase::removeDatabase("app-test-schema");
        }
        app = std::make_unique<Application>();
        app->settings.BuildSettingsPath();
        ASSERT_TRUE(WriteProfileString(app->settings.configPath.toStdString(), "Language", "Path", "English"));
        std::ofstream(app->settings.configPath.toStdString(), std::ios::app) << "[Database]\n" << c.section << "\n";
        prompt.Clear();
        app->SetPrompt(&prompt);
        EXPECT_FALSE(app->InitInstance()) << c.shown;
        ASSERT_EQ(prompt.shown.size(), 1u) << c.shown << prompt.Texts().join("|").toStdString();
        EXPECT_TRUE(prompt.shown[0].text.contains(QString::fromStdString(c.shown))) << prompt.LastText().toStdString();
        EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Stop);
        QFile::remove(app->settings.configPath);
    }
    EXPECT_FALSE(fs::exists(dir.Path() / "share"));
}
