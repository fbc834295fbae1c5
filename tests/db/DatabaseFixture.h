#pragma once
// A fresh copy of the shipped empty Corvida.mdb in a temporary working directory (or with
// CORVIDA_TEST_DATABASE=PostgreSQL a fresh database on the test server), opened as the
// process-wide connection, with the English texts and a recording prompt (also the
// connection's). Every statement the program sends is kept in `statements`.
#include <gtest/gtest.h>

#include <QStringList>
#include <filesystem>

#include "db/AppDatabase.h"
#include "tests/support/PgCluster.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestContext.h"

class DatabaseFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        db().SetPrompt(&prompt);
        if (PgCluster::Wanted()) {
            ASSERT_TRUE(PgCluster::Instance().Fresh());
            ASSERT_TRUE(PgCluster::Instance().Open(db())) << db().LastError().toStdString();
        } else {
            std::filesystem::copy_file(CORVIDA_APP_DIR "/Corvida.mdb", dir.Path() / "Corvida.mdb");
            ASSERT_TRUE(db().Open("Corvida.mdb")) << db().LastError().toStdString();
        }
        db().SetStatementTrace([this](const QString& s) { statements << s; });
    }
    void TearDown() override
    {
        db().SetStatementTrace({});
        db().Close();
        db().SetPrompt(nullptr);
    }
    static AppDatabase& db() { return AppDatabase::Instance(); }
    // Runs a statement that must succeed, outside the statement log.
    void Exec(const QString& statement)
    {
        const QStringList sent = statements;
        const bool ok = db().Execute(statement) != nullptr;
        statements = sent;
        ASSERT_TRUE(ok) << statement.toStdString() << ": " << db().LastError().toStdString();
    }
    // Makes the engine refuse action on the rows where `when` holds, and undoes that.
    void Refuse(const QString& name, const QString& action, const QString& when = "1 = 1")
    {
        Engine(RefuseStatement(name, action, when));
    }
    void Allow(const QString& name) { Engine(AllowStatement(name)); }
    // An engine statement of the driver's own dialect, untranslated: psql on PostgreSQL.
    void Engine(const QString& statement)
    {
        if (PgCluster::Wanted())
            ASSERT_TRUE(PgCluster::Instance().Sql(statement)) << statement.toStdString();
        else
            ASSERT_TRUE(db().Run(statement, {})) << statement.toStdString();
    }

    TempDir dir{true};
    RecordingPrompt prompt;
    TestContext app{prompt};
    QStringList statements;
};
