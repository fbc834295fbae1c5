#pragma once
// A fresh copy of the shipped empty Corvida.mdb in a temporary working directory (or with
// CORVIDA_TEST_DATABASE=PostgreSQL a fresh database on the test server), opened as the
// process-wide connection, with the English texts and a recording prompt. Every statement the
// program sends is kept in `statements`.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QProcess>
#include <QStringList>
#include <filesystem>

#include "db/AdoRecordSet.h"
#include "db/AppDatabase.h"
#include "tests/support/PgCluster.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestContext.h"

// Another program holding the Patient table against other writers (SQLite: the whole file) for
// `ms`; Release waits for its end and says whether it still held the table when called.
class TableHold {
public:
    explicit TableHold(int ms)
    {
        const bool pg = PgCluster::Wanted();
        holder_.start("sh", {"-c", QString("(echo \"%1 Select 'held';\"; sleep %2) | %3")
                                       .arg(pg ? "Begin; Lock Table Patient In Exclusive Mode;" : "Begin Exclusive;")
                                       .arg(ms / 1000.0)
                                       .arg(pg ? PgCluster::Instance().PsqlCommand() : "sqlite3 Corvida.mdb")});
        EXPECT_TRUE(holder_.waitForReadyRead(10000));
    }
    bool Release()
    {
        const bool held = holder_.state() == QProcess::Running;
        holder_.waitForFinished();
        return held;
    }

private:
    QProcess holder_;
};

class DatabaseFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (PgCluster::Wanted())
            ASSERT_TRUE(PgCluster::Instance().Fresh());
        else
            std::filesystem::copy_file(CORVIDA_APP_DIR "/Corvida.mdb", dir.Path() / "Corvida.mdb");
        ASSERT_TRUE(Reopen()) << db().LastError().toStdString();
        db().SetStatementTrace([this](const QString& s) { statements << s; });
    }
    void TearDown() override
    {
        db().SetStatementTrace({});
        db().Close();
    }
    static AppDatabase& db() { return AppDatabase::Instance(); }
    // Opens the connection (again) on the test's database.
    static bool Reopen()
    {
        db().Close();
        return PgCluster::Wanted() ? PgCluster::Instance().Open(db()) : db().Open("Corvida.mdb");
    }
    // Runs a statement that must succeed, outside the statement log.
    void Exec(const QString& statement)
    {
        const QStringList sent = statements;
        const bool ok = db().Execute(statement) != nullptr;
        statements = sent;
        ASSERT_TRUE(ok) << statement.toStdString() << ": " << db().LastError().toStdString();
    }
    // Rows 1..count named P<id> with the clinical number <id>, one minute apart from 2009-01-01 00:00
    // (row 1 oldest), every deletedEvery-th of them deleted. The dates are in the stored form: only
    // the first row of a many-row insert has its dates rewritten.
    void Seed(int count, int deletedEvery = 0)
    {
        QStringList values;
        for (int id = 1; id <= count; ++id)
            values << QString("(%1, 'P%1', 30, 160, 60, 1, 0, 'n%1', '%2', '%3', %4)")
                          .arg(id).arg(id, 8, 10, QChar('0'))
                          .arg(QDateTime(QDate(2009, 1, 1), QTime(0, 0)).addSecs(60 * id).toString("yyyy-MM-dd HH:mm:ss"))
                          .arg(deletedEvery && id % deletedEvery == 0 ? 1 : 0);
        Exec("Insert into Patient (PatientID,Name,Age,Height,Weight,Blood,Sex,Other,ClinicalNo,NewDate,Isdel) Values " +
             values.join(", "));
    }
    // The rows where `where` holds, counted outside the statement log; -1 when the count fails.
    int Count(const QString& where)
    {
        const QStringList sent = statements;
        AdoRecordSet rows(&db());
        rows.Open("Select count(*) From Patient Where " + where);
        rows.MoveFirst();
        int32_t n = -1;
        rows.GetCollect(0, n);
        statements = sent;
        return n;
    }
    // Makes the engine refuse action on the rows where `when` holds, and undoes that.
    void Refuse(const QString& name, const QString& action, const QString& when = "1 = 1",
                const QString& table = "Patient")
    {
        Engine(RefuseStatement(name, action, when, table));
    }
    void Allow(const QString& name, const QString& table = "Patient") { Engine(AllowStatement(name, table)); }
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
