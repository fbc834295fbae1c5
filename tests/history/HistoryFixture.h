#pragma once
// A fresh Corvida.mdb made from the shipped schema in a temporary working folder (or with
// CORVIDA_TEST_DATABASE=PostgreSQL a fresh database on the test server), the English
// texts, and a recording prompt; plus small helpers to make patients and record files.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "db/AppDatabase.h"
#include "db/PatientStore.h"
#include "tests/support/PgCluster.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestContext.h"

namespace fs = std::filesystem;

// Runs the schema file's statements on a new database file at path.
inline void CreateDatabase(const QString& path)
{
    QFile schema(CORVIDA_SOURCE_DIR "/db/Patient.sql");
    ASSERT_TRUE(schema.open(QIODevice::ReadOnly));
    QStringList lines;
    for (const QString& line : QString::fromUtf8(schema.readAll()).split('\n'))
        if (!line.trimmed().startsWith("--"))
            lines << line;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "history-test-schema");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        for (const QString& statement : lines.join('\n').split(';')) {
            if (!statement.trimmed().isEmpty()) {
                ASSERT_TRUE(QSqlQuery(db).exec(statement)) << statement.toStdString();
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("history-test-schema");
}

// Every file under root with its bytes, to show that nothing outside a folder changed.
inline std::map<std::string, std::string> Snapshot(const fs::path& root)
{
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        std::string bytes;
        if (it->is_regular_file() && !it->is_symlink()) {
            std::ifstream in(it->path(), std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), {});
        }
        files[fs::relative(it->path(), root).string()] = bytes;
    }
    return files;
}

inline std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A record-sized file of pseudo-random packets (the copy must keep every byte).
inline std::string WriteRecord(const fs::path& path, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(4 * 3200, '\0');
    for (char& b : bytes)
        b = static_cast<char>(random());
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return bytes;
}

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AppDatabase::Instance().SetPrompt(&prompt);
        OpenFreshDatabase();
    }
    void TearDown() override
    {
        AppDatabase::Instance().Close();
        AppDatabase::Instance().SetPrompt(nullptr);
    }
    // A new empty database and no Data folder, in the working folder.
    void OpenFreshDatabase()
    {
        AppDatabase::Instance().Close();
        std::error_code ec;
        fs::remove(dir.Path() / "Corvida.mdb", ec);
        fs::remove_all(dir.Path() / "Data", ec);
        if (PgCluster::Wanted()) {
            ASSERT_TRUE(PgCluster::Instance().Fresh());
            ASSERT_TRUE(PgCluster::Instance().Open(AppDatabase::Instance()))
                << AppDatabase::Instance().LastError().toStdString();
            return;
        }
        CreateDatabase("Corvida.mdb");
        ASSERT_TRUE(AppDatabase::Instance().Open("Corvida.mdb"));
    }
    // Runs a statement on the database directly, outside the program's layer.
    void Sql(const QString& statement)
    {
        if (PgCluster::Wanted()) {
            ASSERT_TRUE(PgCluster::Instance().Sql(statement)) << statement.toStdString();
            return;
        }
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "history-test-direct");
            db.setDatabaseName("Corvida.mdb");
            ASSERT_TRUE(db.open());
            ASSERT_TRUE(QSqlQuery(db).exec(statement)) << statement.toStdString();
            db.close();
        }
        QSqlDatabase::removeDatabase("history-test-direct");
    }
    int32_t AddPatient(const QString& name, const QString& clinicalNo, int sex,
                       const QDateTime& when)
    {
        PatientRecord facts;
        facts.Name = name;
        facts.ClinicalNo = clinicalNo;
        facts.Sex = sex;
        facts.Age = 40;
        StoreResult r = StorePatient(facts, when);
        EXPECT_TRUE(r.Stored());
        return r.id;
    }

    TempDir dir{true};
    RecordingPrompt prompt;
    TestContext app{prompt};
};
