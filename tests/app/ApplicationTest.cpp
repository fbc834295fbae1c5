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

namespace {

// Start-up in the working folder: false, with the prompts it showed.
bool StartUp(RecordingPrompt& prompt)
{
    const auto app = std::make_unique<Application>();
    app->SetPrompt(&prompt);
    return app->InitInstance();
}

}  // namespace

TEST(Application, MissingDatabaseIsReportedAndStopsStartUp)
{
    EnsureQtApp();
    TempDir dir(true);
    RecordingPrompt prompt;
    // No language file loads either: that is said once, in English, before the database error.
    EXPECT_FALSE(StartUp(prompt));
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_TRUE(prompt.shown[0].text.startsWith("The language \""));
    EXPECT_TRUE(prompt.shown[0].text.endsWith("\" cannot be loaded, - is used instead."));
    EXPECT_TRUE(prompt.shown[1].text.contains("Corvida.mdb"));
    EXPECT_EQ(prompt.shown[1].icon, PromptIcon::Stop);
}

TEST(Application, DatabaseWithoutThePatientTableStopsStartUp)
{
    // Each of these must be refused like a missing file (an empty file opens as an empty database).
    const struct {
        const char* name;
        const char* text;    // the file's bytes, or
        const char* schema;  // a table made in an empty database
    } cases[] = {
        {"no database", "this is not a database file, just some text of sufficient length......", nullptr},
        {"0 bytes", "", nullptr},
        {"other table", nullptr, "Create Table Other (x INTEGER)"},
        {"no Isdel", nullptr,
         "Create Table Patient (PatientID INTEGER PRIMARY KEY, Name TEXT, Age INTEGER, Height "
         "INTEGER, Weight INTEGER, Blood INTEGER, Sex INTEGER, Other TEXT, ClinicalNo TEXT, "
         "NewDate DATETIME)"},
    };
    EnsureQtApp();
    TempDir dir(true);
    std::filesystem::copy(CORVIDA_SOURCE_DIR "/language", "language");
    for (const auto& c : cases) {
        QFile::remove("Corvida.mdb");
        QFile file("Corvida.mdb");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.text ? c.text : "");
        file.close();
        if (c.schema) {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "app-test-schema");
                db.setDatabaseName("Corvida.mdb");
                ASSERT_TRUE(db.open() && QSqlQuery(db).exec(c.schema));
                db.close();
            }
            QSqlDatabase::removeDatabase("app-test-schema");
        }
        RecordingPrompt prompt;
        EXPECT_FALSE(StartUp(prompt)) << c.name;
        ASSERT_EQ(prompt.shown.size(), 1u) << c.name;
        EXPECT_TRUE(prompt.shown[0].text.contains("Corvida.mdb"));
        EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Stop);
    }
}

TEST(Application, UnusableDatabaseSettingsStopStartUp)
{
    EnsureQtApp();
    TempDir dir(true);
    std::filesystem::create_directory("language");
    std::filesystem::copy_file(CORVIDA_SOURCE_DIR "/language/English.ini", "language/English.ini");
    std::filesystem::copy_file(CORVIDA_APP_DIR "/Corvida.mdb", "Corvida.mdb");
    AppSettings where;
    where.BuildSettingsPath();
    const struct {
        std::string section;
        const char* shown;
    } cases[] = {
        {"Driver=Access", "[Database] Driver \"Access\" is neither SQLite nor PostgreSQL."},
        // No server listens in an empty folder: its socket is not there.
        {"Driver=PostgreSQL\nHost=" + dir.Path().string() + "\nUser=corvida",
         "The patient database \"postgresql://corvida@"},
        // A share that is not mounted is never stood in for by a local folder.
        {"Data=" + (dir.Path() / "share/Data").string(), "The record folder \""},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteProfileString(where.configPath.toStdString(), "Language", "Path", "English"));
        std::ofstream(where.configPath.toStdString(), std::ios::app) << "[Database]\n" << c.section << "\n";
        RecordingPrompt prompt;
        EXPECT_FALSE(StartUp(prompt)) << c.section;
        ASSERT_EQ(prompt.shown.size(), 1u) << c.section;
        EXPECT_TRUE(prompt.shown[0].text.contains(c.shown)) << prompt.shown[0].text.toStdString();
        QFile::remove(where.configPath);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "share"));
}
