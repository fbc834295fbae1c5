// Start-up: the database check, and the language fallback said before it.
#include <gtest/gtest.h>

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <memory>

#include "app/Application.h"
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
