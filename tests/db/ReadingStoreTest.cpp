// Readings on a real database: confirm, amend and every version kept; a stale version refused
// with the reading that stands; keys that a reused patient ID cannot inherit; the reading list;
// a failing database storing nothing; the table made at start-up; stations confirming at once
// and a station killed while it confirms.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <QThread>
#include <csignal>

#include "db/PatientStore.h"
#include "db/ReadingStore.h"
#include "tests/db/DatabaseFixture.h"

namespace {

const QDateTime kNow(QDate(2026, 3, 7), QTime(9, 5, 41));
constexpr char kDemo[] = CORVIDA_APP_DIR "/Data/Demo/";

// A reading as the reading dialog hands it over: who reads, and what.
Reading Typed(const std::string& comment, const std::string& reason = {})
{
    Reading r;
    r.statements = {{12, 0}, {126, 124}};
    r.values[kValueQt] = 412;
    r.values[kValueQrsAxis] = -305;
    r.comment = comment;
    r.reason = reason;
    r.readerLogin = "drwu";
    r.readerName = "Wu Lan";
    r.station = "room-2";
    return r;
}

// The rows of the Reading table as text, oldest version first, outside the statement log.
QStringList Rows(const RecordKey& key)
{
    QStringList rows;
    for (const Reading& r : LoadReadings(key).value_or(std::vector<Reading>()))
        rows << QString::fromStdString(std::to_string(r.version) + " " + StatementCodes(r.statements) + " | " +
                                       r.comment + " | " + r.reason + " | " + r.readerLogin + " " + r.readAt);
    return rows;
}

class ReadingStore : public DatabaseFixture {
protected:
    // Stores a patient and puts a copy of a demo record in its folder; the record's key.
    RecordKey PatientWithRecord(const QString& demo = "NormalSinus72.cv", const QString& name = "m202603070900.cv",
                                const QDateTime& when = kNow)
    {
        const StoreResult stored = StorePatient({0, "Li", 30, 170, 60, 0, 0, {}, "A1", {}, 0}, when);
        EXPECT_TRUE(stored.Stored());
        path = PatientDataFolder(stored.id) + "/" + name;
        EXPECT_TRUE(QFile::copy(kDemo + demo, path));
        const RecordKeyLookup found = FindRecordKey(path);
        EXPECT_EQ(found.outcome, RecordKeyLookup::Outcome::Found);
        return found.key;
    }
    QString path;
    const Reading machine = [] {
        Reading m;
        m.statements = {{11, 0}, {22, 0}};
        return m;
    }();
};

TEST_F(ReadingStore, ConfirmAndAmendAddVersions_NoneIsChanged_TextsKeptAsTyped)
{
    const RecordKey key = PatientWithRecord();
    EXPECT_EQ(key.digest.size(), 64);
    EXPECT_EQ(key.recordTime, "2026-03-07 09:00:00");
    EXPECT_FALSE(LatestReadingOf(path).reading || LatestReadingOf(path).failed);

    // Quotes, SQL and non-Latin text are stored as typed, control characters as blanks; the
    // longest comment is taken whole.
    const std::string comment = "x'); Delete From Reading; -- \"ok\" 心电图\r\n\x01" + std::string(kMaxCommentLength - 40, 'c');
    ConfirmResult done = ConfirmReading(key, machine, 0, Typed(comment), kNow);
    ASSERT_EQ(done.outcome, ConfirmOutcome::Confirmed) << db().LastError().toStdString();
    EXPECT_EQ(done.reading.version, 1);

    // An amendment needs its reason; one over the limit is refused, never cut.
    EXPECT_EQ(ConfirmReading(key, machine, 1, Typed("c")).problem, ReadingProblem::ReasonMissing);
    EXPECT_EQ(ConfirmReading(key, machine, 1, Typed(std::string(kMaxCommentLength + 1, 'c'), "r")).problem,
              ReadingProblem::CommentTooLong);
    done = ConfirmReading(key, machine, 1, Typed("second look", "QT measured by hand"), kNow.addSecs(60));
    ASSERT_EQ(done.outcome, ConfirmOutcome::Confirmed);

    const std::string stored = "x'); Delete From Reading; -- \"ok\" 心电图   " + std::string(kMaxCommentLength - 40, 'c');
    EXPECT_EQ(Rows(key), QStringList({"0 11 22 |  |  |  2026-03-07 09:05:41",
                                      QString::fromStdString("1 12 126:124 | " + stored + " |  | drwu 2026-03-07 09:05:41"),
                                      "2 12 126:124 | second look | QT measured by hand | drwu 2026-03-07 09:06:41"}));
    const Reading latest = LatestReadingOf(path).reading.value_or(Reading());
    EXPECT_EQ(latest.version, 2);
    EXPECT_EQ(latest.values, Typed("").values);
    EXPECT_EQ(std::tuple(latest.readerName, latest.station), std::tuple("Wu Lan", "room-2"));
}

TEST_F(ReadingStore, AStaleVersionIsRefusedWithTheReadingThatStands_NothingAdded)
{
    const RecordKey key = PatientWithRecord();
    ASSERT_EQ(ConfirmReading(key, machine, 0, Typed("first"), kNow).outcome, ConfirmOutcome::Confirmed);
    Reading other = Typed("mine");
    other.readerLogin = "drli";
    const ConfirmResult late = ConfirmReading(key, machine, 0, other, kNow);
    EXPECT_EQ(late.outcome, ConfirmOutcome::Conflict);
    EXPECT_EQ(std::tuple(late.reading.version, late.reading.comment, late.reading.readerLogin),
              std::tuple(1, "first", "drwu"));
    EXPECT_EQ(Rows(key).size(), 2);
}

TEST_F(ReadingStore, AReusedPatientIdNeverShowsTheEarlierPatientsReadings_EvenOnTheSameRecord)
{
    Seed(399);
    const RecordKey old = PatientWithRecord();
    ASSERT_EQ(old.patientId, 400);
    ASSERT_EQ(ConfirmReading(old, machine, 0, Typed("old patient's"), kNow).outcome, ConfirmOutcome::Confirmed);
    ASSERT_EQ(DeletePatient(ExportPatientRow(400).value()), DeleteOutcome::Deleted);
    // At the row limit a new patient takes the deleted row's ID over; the same record file is
    // copied in for it.
    const RecordKey now = PatientWithRecord("NormalSinus72.cv", "m202603070900.cv", kNow.addDays(30));
    ASSERT_EQ(now.patientId, 400);
    EXPECT_EQ(now.digest, old.digest);
    EXPECT_FALSE(LatestReadingOf(path).reading.has_value());
    const std::vector<UnreadRecord> unread = UnreadRecords().value_or(std::vector<UnreadRecord>());
    ASSERT_EQ(unread.size(), 1);
    EXPECT_EQ(unread[0].key, now);
}

TEST_F(ReadingStore, TheReadingListHoldsEveryUnconfirmedRecordOfTheLivePatientsOldestFirst)
{
    const RecordKey a = PatientWithRecord("NormalSinus72.cv", "m202603070900.cv");
    ASSERT_TRUE(QFile::copy(kDemo + QString("Bradycardia48.cv"), PatientDataFolder(a.patientId) + "/m202601010800.cv"));
    const RecordKey b = PatientWithRecord("Tachycardia125.cv", "m202602010800.cv");
    PatientWithRecord("WideQrs68.cv");
    ASSERT_EQ(DeletePatient(ExportPatientRow(3).value()), DeleteOutcome::Deleted);
    ASSERT_EQ(ConfirmReading(a, machine, 0, Typed("read"), kNow).outcome, ConfirmOutcome::Confirmed);

    // Registered by the list itself, with the machine's own statements of each record.
    const std::vector<UnreadRecord> unread = UnreadRecords().value_or(std::vector<UnreadRecord>());
    ASSERT_EQ(unread.size(), 2);
    EXPECT_EQ(std::tuple(unread[0].key.recordName, unread[0].patientName, unread[0].clinicalNo),
              std::tuple("m202601010800.cv", "Li", "A1"));
    EXPECT_EQ(unread[1].key, b);
    EXPECT_EQ(unread[0].machine.statements.front().code, 12);  // sinus bradycardia
    EXPECT_EQ(UnreadRecords()->size(), 2);  // registered once
    EXPECT_EQ(Rows(a).size(), 2);
}

TEST_F(ReadingStore, AFailingDatabaseStoresNothingHalf)
{
    const RecordKey key = PatientWithRecord();
    Refuse("RefuseReading", "Insert", "New.Version > 0", "Reading");
    EXPECT_EQ(ConfirmReading(key, machine, 0, Typed("lost?"), kNow).outcome, ConfirmOutcome::Failed);
    EXPECT_TRUE(Rows(key).isEmpty());  // the machine's row went with it
    Allow("RefuseReading", "Reading");
    Exec("Drop Table Reading");
    EXPECT_EQ(ConfirmReading(key, machine, 0, Typed("lost?"), kNow).outcome, ConfirmOutcome::Failed);
    EXPECT_TRUE(LatestReadingOf(path).failed);
    EXPECT_FALSE(UnreadRecords().has_value());
}

TEST_F(ReadingStore, ADatabaseWithoutTheTableGetsItAtStart_PatientUntouched_AMissingColumnStopsStart)
{
    Seed(3);
    Exec("Drop Table Reading");
    ASSERT_TRUE(Reopen()) << db().LastError().toStdString();
    EXPECT_EQ(db().TableColumns("Reading").value_or(QStringList()).join(',').toLower(),
              ReadingColumns().join(',').toLower());
    EXPECT_EQ(Count("Name = 'P2' And Isdel = 0"), 1);
    EXPECT_EQ(ConfirmReading(PatientWithRecord(), machine, 0, Typed("after"), kNow).outcome, ConfirmOutcome::Confirmed);

    Exec("Alter Table Reading Drop Column Reason");
    EXPECT_FALSE(Reopen());
    EXPECT_EQ(db().LastError(), "The Reading table lacks the columns Reason.");
}

// One station of several: confirms version 1 of the record named by the environment, or, with
// CORVIDA_TEST_AMEND, amends it over and over until it is killed. Each outcome is a line on stdout.
TEST(ReadingStation, DISABLED_Worker)
{
    RecordingPrompt prompt;
    TestContext app{prompt};
    AppDatabase& db = AppDatabase::Instance();
    ASSERT_TRUE(PgCluster::Wanted() ? PgCluster::Instance().Open(db) : db.Open("Corvida.mdb"));
    const RecordKey key = FindRecordKey(qEnvironmentVariable("CORVIDA_TEST_RECORD")).key;
    const std::string me = qEnvironmentVariable("CORVIDA_TEST_WORKER").toStdString();
    QTextStream out(stdout);
    for (int wait = 0; !QFile::exists("go") && wait < 30000; ++wait)
        QThread::msleep(1);
    for (int basedOn = 0;; ++basedOn) {
        const ConfirmResult r = ConfirmReading(key, Reading(), basedOn, Typed(me, basedOn ? "again" : ""));
        out << "@ " << int(r.outcome) << ' ' << QString::fromStdString(r.reading.comment) << Qt::endl;
        if (!qEnvironmentVariableIsSet("CORVIDA_TEST_AMEND"))
            break;
    }
}

class ReadingStations : public ReadingStore {
protected:
    std::unique_ptr<QProcess> Station(int n, bool amend)
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CORVIDA_TEST_WORKER", QString("station %1").arg(n));
        env.insert("CORVIDA_TEST_RECORD", path);
        if (amend)
            env.insert("CORVIDA_TEST_AMEND", "1");
        if (PgCluster::Wanted())
            env.insert("CORVIDA_TEST_PG_SOCKET", PgCluster::Instance().SocketDir());
        p->setProcessEnvironment(env);
        p->start("/proc/self/exe", {"--gtest_filter=ReadingStation.DISABLED_Worker", "--gtest_also_run_disabled_tests"});
        EXPECT_TRUE(p->waitForStarted());
        return p;
    }
};

TEST_F(ReadingStations, OfStationsConfirmingAtOnceOneWins_TheOthersAreToldWho_OneVersionAdded)
{
    const RecordKey key = PatientWithRecord();
    std::vector<std::unique_ptr<QProcess>> stations;
    for (int n = 0; n < 4; ++n)
        stations.push_back(Station(n, false));
    QThread::msleep(300);
    QFile("go").open(QIODevice::WriteOnly);
    QStringList wins, told;
    for (auto& p : stations) {
        ASSERT_TRUE(p->waitForFinished(60000));
        const QString output = QString::fromUtf8(p->readAllStandardOutput());
        const QString line = output.mid(output.indexOf("@ ")).section('\n', 0, 0);
        (line.startsWith("@ 0 ") ? wins : told) << line.mid(4);
        EXPECT_TRUE(line.startsWith("@ 0 ") || line.startsWith("@ 1 ")) << line.toStdString();
    }
    ASSERT_EQ(wins.size(), 1);
    EXPECT_EQ(told, QStringList(3, wins[0]));  // each loser sees the winner's reading
    EXPECT_EQ(Rows(key).size(), 2);
}

TEST_F(ReadingStations, AStationKilledWhileItAmendsLeavesWholeVersionsOnly)
{
    const RecordKey key = PatientWithRecord();
    std::unique_ptr<QProcess> station = Station(0, true);
    QFile("go").open(QIODevice::WriteOnly);
    // Killed at some moment of its work: before, inside or after a transaction.
    for (int seen = 0; seen < 20 && station->waitForReadyRead(10000);)
        seen += station->readAllStandardOutput().count('@');
    QThread::usleep(1000 + std::rand() % 5000);
    ::kill(static_cast<pid_t>(station->processId()), SIGKILL);
    station->waitForFinished();
    ASSERT_TRUE(Reopen());
    const std::vector<Reading> versions = LoadReadings(key).value_or(std::vector<Reading>());
    ASSERT_GE(versions.size(), 21);
    for (size_t v = 0; v < versions.size(); ++v) {
        EXPECT_EQ(versions[v].version, int(v));
        EXPECT_EQ(versions[v].comment, v ? "station 0" : "");
        EXPECT_EQ(versions[v].reason, v > 1 ? "again" : "");
    }
}

}  // namespace
