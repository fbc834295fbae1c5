// Start-up: settings defaults, port numbers, and the database check.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <memory>

#include "app/Application.h"
#include "app/ProfileFile.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TempDir.h"

TEST(Application, MissingDatabaseIsReportedAndStopsStartUp)
{
    EnsureQtApp();
    TempDir dir(true);
    RecordingPrompt prompt;
    const auto app = std::make_unique<Application>();
    app->SetPrompt(&prompt);
    // No language file loads either: that is said once, in English, before the database error.
    EXPECT_FALSE(app->InitInstance());
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_TRUE(prompt.shown[0].text.startsWith("The language \""));
    EXPECT_TRUE(prompt.shown[0].text.endsWith("\" cannot be loaded, - is used instead."));
    EXPECT_TRUE(prompt.shown[1].text.contains("Corvida.mdb"));
    EXPECT_EQ(prompt.shown[1].icon, PromptIcon::Stop);
    std::filesystem::create_directory("language");
    std::filesystem::copy_file(CORVIDA_SOURCE_DIR "/language/English.ini", "language/English.ini");
    std::filesystem::copy_file(CORVIDA_SOURCE_DIR "/language/Chinese.ini", "language/Chinese.ini");

    // A file of that name that is no database is refused too.
    QFile junk("Corvida.mdb");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a database file, just some text of sufficient length.............");
    junk.close();
    prompt.Clear();
    EXPECT_FALSE(app->InitInstance());
    EXPECT_EQ(prompt.shown.size(), 1u);
}

TEST(Application, DatabaseWithoutThePatientTableStopsStartUp)
{
    // An empty file opens as an empty database; each of these must be refused like a missing one.
    const char* schemas[] = {
        nullptr,  // 0 bytes
        "Create Table Other (x INTEGER)",
        "Create Table Patient (PatientID INTEGER PRIMARY KEY, Name TEXT, Age INTEGER, Height "
        "INTEGER, Weight INTEGER, Blood INTEGER, Sex INTEGER, Other TEXT, ClinicalNo TEXT, "
        "NewDate DATETIME)",  // no Isdel
    };
    EnsureQtApp();
    TempDir dir(true);
    std::filesystem::create_directory("language");
    for (const char* file : {"English.ini", "Chinese.ini"})
        std::filesystem::copy_file(std::filesystem::path(CORVIDA_SOURCE_DIR "/language") / file,
                                   std::filesystem::path("language") / file);
    for (const char* schema : schemas) {
        QFile::remove("Corvida.mdb");
        QFile empty("Corvida.mdb");
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
        empty.close();
        if (schema) {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "app-test-schema");
                db.setDatabaseName("Corvida.mdb");
                ASSERT_TRUE(db.open() && QSqlQuery(db).exec(schema));
                db.close();
            }
            QSqlDatabase::removeDatabase("app-test-schema");
        }
        RecordingPrompt prompt;
        const auto app = std::make_unique<Application>();
        app->SetPrompt(&prompt);
        EXPECT_FALSE(app->InitInstance()) << (schema ? schema : "0 bytes");
        ASSERT_EQ(prompt.shown.size(), 1u);
        EXPECT_TRUE(prompt.shown[0].text.contains("Corvida.mdb"));
        EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Stop);
    }
}
