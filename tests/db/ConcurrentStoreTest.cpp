// Several stations at once: worker processes (this binary run again) store, delete and query
// patients on one database through the program's own functions, starting near the row limit so
// that new rows and take-overs of deleted rows both happen at the same time.
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <QThread>
#include <map>
#include <set>

#include "db/AdoRecordSet.h"
#include "db/PatientStore.h"
#include "tests/db/DatabaseFixture.h"

namespace {

constexpr int kWorkers = 4;
constexpr int kStoresEach = 12;  // 20 new rows, then 28 take-overs of 38 deleted rows at least

// One worker: each store, each delete of every third patient it stored and each list query is a
// line on stdout: "@ stored <outcome> <id> <reused> <name>", "@ deleted <id> <ok>", "@ listed <ok>".
TEST(ConcurrentStore, DISABLED_Worker)
{
    const QString worker = qEnvironmentVariable("CORVIDA_TEST_WORKER");
    RecordingPrompt prompt;
    TestContext app{prompt};
    AppDatabase& db = AppDatabase::Instance();
    ASSERT_TRUE(PgCluster::Wanted() ? PgCluster::Instance().Open(db) : db.Open("Corvida.mdb"));
    QTextStream out(stdout);
    for (int wait = 0; !QFile::exists("go") && wait < 30000; ++wait)  // all start together
        QThread::msleep(2);
    for (int i = 0; i < kStoresEach; ++i) {
        PatientRecord facts;
        facts.Name = QString("w%1-%2").arg(worker).arg(i);
        const StoreResult r = StorePatient(facts);
        out << "@ stored " << int(r.outcome) << ' ' << r.id << ' ' << r.reused << ' ' << facts.Name << Qt::endl;
        if (r.Stored() && i % 3 == 0)
            out << "@ deleted " << r.id << ' ' << DeletePatient(r.id) << Qt::endl;
        AdoRecordSet rows;
        out << "@ listed " << OpenPatientList(rows, LivePatientsStatement()) << Qt::endl;
    }
    db.Close();
}

using ConcurrentStores = DatabaseFixture;

TEST_F(ConcurrentStores, NoIdIsGivenTwiceAndNoPatientIsLost_AtTheRowLimit)
{
    // 380 rows, every tenth deleted, one minute apart.
    QStringList values;
    for (int id = 1; id <= 380; ++id)
        values << QString("(%1, 'seed', '%2', %3)")
                      .arg(id)
                      .arg(QDateTime(QDate(2009, 1, 1), QTime(0, 0)).addSecs(60 * id).toString("yyyy-MM-dd HH:mm:ss"))
                      .arg(id % 10 == 0 ? 1 : 0);
    Exec("Insert into Patient (PatientID,Name,NewDate,Isdel) Values " + values.join(", "));
    db().Close();

    std::vector<std::unique_ptr<QProcess>> workers;
    for (int w = 0; w < kWorkers; ++w) {
        auto& p = *workers.emplace_back(std::make_unique<QProcess>());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CORVIDA_TEST_WORKER", QString::number(w));
        if (PgCluster::Wanted())
            env.insert("CORVIDA_TEST_PG_SOCKET", PgCluster::Instance().SocketDir());
        p.setProcessEnvironment(env);
        p.start("/proc/self/exe", {"--gtest_filter=ConcurrentStore.DISABLED_Worker",
                                   "--gtest_also_run_disabled_tests"});
    }
    for (auto& p : workers)
        ASSERT_TRUE(p->waitForStarted());
    QThread::msleep(300);  // each has opened the database
    QFile("go").open(QIODevice::WriteOnly);
    std::set<int32_t> newIds;
    std::map<QString, int32_t> kept;  // name of each patient stored and not deleted, and its ID
    int stores = 0;
    for (auto& p : workers) {
        ASSERT_TRUE(p->waitForFinished(120000));
        const QString output = QString::fromUtf8(p->readAllStandardOutput());
        EXPECT_EQ(p->exitCode(), 0) << output.toStdString() << p->readAllStandardError().toStdString();
        std::map<int32_t, QString> mine;
        for (const QString& line : output.split('\n')) {
            const QStringList f = line.split(' ');
            const std::string what = line.toStdString();
            if (f.value(1) == "stored") {
                ++stores;
                // Deleted rows were there all along: every store must succeed.
                EXPECT_EQ(f[2], "0") << "store failed: " << what;
                EXPECT_TRUE(f[4] == "1" || newIds.insert(f[3].toInt()).second) << "new ID twice: " << what;
                if (f[2] == "0")
                    mine[f[3].toInt()] = f[5];
            } else if (f.value(1) == "deleted") {
                EXPECT_EQ(f[3], "1") << what;
                mine.erase(f[2].toInt());
            } else if (f.value(1) == "listed") {
                EXPECT_EQ(f[2], "1") << what;
            }
        }
        for (const auto& [id, name] : mine)
            kept[name] = id;
    }
    EXPECT_EQ(stores, kWorkers * kStoresEach);

    ASSERT_TRUE(PgCluster::Wanted() ? PgCluster::Instance().Open(db()) : db().Open("Corvida.mdb"));
    for (const auto& [name, id] : kept) {
        const std::optional<PatientRecord> row = ExportPatientRow(id);
        ASSERT_TRUE(row.has_value()) << id;
        EXPECT_EQ(row->Name, name) << "patient lost or its row taken twice: " << id;
        EXPECT_EQ(row->Isdel, 0) << name.toStdString();
    }
    AdoRecordSet count(&db());
    ASSERT_TRUE(count.Open("Select count(*), Max(PatientID) From Patient"));
    count.MoveFirst();
    QString rows, highest;
    count.GetCollect(0, rows);
    count.GetCollect(1, highest);
    EXPECT_EQ(rows + " " + highest, "400 400");
}

}  // namespace
