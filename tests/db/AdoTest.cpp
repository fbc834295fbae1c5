// The database layer: field conversions, the Jet statements, recordsets with their reads, writes and
// commits against a real database, and the choice and opening of the database.
#include <QByteArray>
#include <QPointF>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>

#include "db/AdoRecordSet.h"
#include "db/DatabaseSettings.h"
#include "tests/db/DatabaseFixture.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(VariantConversion, LongTextAndDateFollowTheFixedRules)
{
    const struct {
        QVariant value;
        int32_t expected;
    } longs[] = {
        {QVariant(), 0}, {QVariant(QMetaType::fromType<qlonglong>()), 0},  // NULL of an integer column
        {QVariant(true), -1}, {QVariant(qlonglong(-7)), -7}, {QVariant(qlonglong(5'000'000'000)), kMax},
        {QVariant(qlonglong(-5'000'000'000)), kMin}, {QVariant(2.5), 3}, {QVariant(-1.7), -1},  // +0.5, toward zero
        {QVariant(1e20), kMax}, {QVariant(std::nan("")), 0}, {QVariant(QString("  -12abc")), -12},
        {QVariant(QString("abc")), 0}, {QVariant(QString("99999999999999999999")), kMax},
        {QVariant(QDateTime(QDate(2009, 3, 7), QTime(9, 5, 41))), 0},
    };
    for (const auto& c : longs)
        EXPECT_EQ(VariantToLong(c.value), c.expected) << c.value.toString().toStdString();

    const QDateTime when(QDate(2009, 3, 7), QTime(9, 5, 41));
    const struct {
        QVariant value;
        const char* expected;
    } texts[] = {
        {QVariant(), ""}, {QVariant(QMetaType::fromType<QString>()), ""}, {QVariant(-15), "-15"},
        {QVariant(qlonglong((1LL << 32) + 5)), "5"},  // low 32 bits
        {QVariant(1.5f), "1.5000"}, {QVariant(1.0 / 3.0), "0.33333333"}, {QVariant(true), "TRUE"},
        {QVariant(QByteArray("\x01\x02")), "[BLOB]"}, {QVariant(QPointF(1, 2)), "UN_KNOW"},
        {QVariant(when), "2009-03-07 09:05:41"},
    };
    for (const auto& c : texts)
        EXPECT_EQ(VariantToText(c.value), QString::fromUtf8(c.expected));

    // Dates come from dates and from the stored date form only.
    EXPECT_EQ(VariantToDate(QVariant(when)), when);
    EXPECT_EQ(VariantToDate(QVariant(QString("2009-03-07 09:05:41"))), when);
    EXPECT_FALSE(VariantToDate(QVariant(QString("2009-3-7  9:5:41"))).isValid());
    EXPECT_FALSE(VariantToDate(QVariant(12)).isValid());
}

TEST(JetDialect, DatesBecomeTheStoredFormOnlyWhereTheyAreDates)
{
    const QStringList dates{"newdate"};
    const struct {
        const char* jet;
        const char* sqlite;  // null: sent as it is; empty: the statement must be refused
    } cases[] = {
        {"Select * From Patient Where  Isdel = 1 and NewDate = #2009-3-7 9:5:41#",
         "Select * From Patient Where  Isdel = 1 and NewDate = '2009-03-07 09:05:41'"},
        {"Select * From T Where NewDate < #3/7/2009#", "Select * From T Where NewDate < '2009-03-07 00:00:00'"},
        {"Insert into Patient (PatientID,Name,NewDate) Values (1, '2009-3-7', '2009-3-7  9:5:41')",
         "Insert into Patient (PatientID,Name,NewDate) Values (1, '2009-3-7', '2009-03-07 09:05:41')"},
        // A name in the date's place is no date; text that only looks like a date stays text.
        {"Insert into Patient (Name) Values ('2009-3-7')", nullptr},
        {"Select * From Patient Where Name = '#1#' And Other Like '%NewDate = ''1''%'", nullptr},
        {"Update Patient Set NewDate = '2010-1-2 3:4' Where PatientID = 1",
         "Update Patient Set NewDate = '2010-01-02 03:04:00' Where PatientID = 1"},
        {"Select * From T Where NewDate >= #3/7/2009# Or NewDate <> #3/8/2009#",
         "Select * From T Where NewDate >= '2009-03-07 00:00:00' Or NewDate <> '2009-03-08 00:00:00'"},
        // Inserts without a column list, without values or cut short are sent as they are.
        {"Insert into Patient Values (1, '2009-3-7')", nullptr},
        {"Insert into Patient (NewDate) Select '2009-3-7'", nullptr},
        {"Insert into Patient (NewDate)", nullptr}, {"Insert into Patient (NewDate) Values ('2009-3-7'", nullptr},
        {"Select * From T Where NewDate = #2009-2-30#", ""}, {"Select * From T Where NewDate = #2009-3-7", ""},
        {"Insert into Patient (PatientID,NewDate) Values (1, 'yesterday')", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JetToSqlite(QString::fromUtf8(c.jet), dates), QString::fromUtf8(c.sqlite ? c.sqlite : c.jet));
    // On PostgreSQL Like ignores case, as Jet's does, and knows no escape character.
    EXPECT_EQ(JetToPostgres("Select * From Patient Where Name Like '%o''b\\%' And NewDate = #2009-3-7# And x Like ?",
                            dates),
              "Select * From Patient Where Name ILIKE '%o''b\\%' ESCAPE '' And NewDate = '2009-03-07 00:00:00' "
              "And x ILIKE ? ESCAPE ''");
}

class RecordSet : public DatabaseFixture {
protected:
    // One row with NULL text and numbers, one with values, inserted in the program's own dialect.
    void SetUp() override
    {
        DatabaseFixture::SetUp();
        Exec("Insert into Patient (PatientID,Name,Age,Other,NewDate,Isdel) "
             "Values (1, NULL, NULL, NULL, '2009-3-7  9:5:41', 0), (2, 'Li', 20, 'note', '2009-10-1  0:0:0', 0)");
    }
    AdoRecordSet Open(const QString& statement)
    {
        AdoRecordSet rows(&db());
        rows.PutCursorLocation(kAdUseClient);
        EXPECT_TRUE(rows.Open(statement, kAdCmdText, kAdOpenStatic, kAdLockOptimistic)) << statement.toStdString();
        rows.MoveFirst();
        return rows;
    }
    // A field of the current row, read into a value that shows whether the read wrote it.
    template <typename T>
    static T Get(auto&& rows, const auto& field, T value)
    {
        rows.GetCollect(field, value);
        return value;
    }
};

TEST_F(RecordSet, ReadsWritesAndRequeries_NullsReadAsEmptyTextAndZero_FailedReadsAndCommitsGiveFalse)
{
    AdoRecordSet rows = Open("Select * From Patient Order By PatientID");
    QString text = "unchanged";
    int32_t number = 99;
    EXPECT_TRUE(rows.GetCollect(QString("Name"), text) && text.isEmpty());
    EXPECT_TRUE(rows.GetCollect(QString("Age"), number) && number == 0);
    EXPECT_EQ(Get(rows, QString("newdate"), QString()), "2009-03-07 09:05:41");  // names match in any case
    EXPECT_EQ(Get(rows, QString("PATIENTID"), QString()), "1");
    text = "unchanged";
    EXPECT_FALSE(rows.GetCollect(-1, text));
    EXPECT_FALSE(rows.GetCollect(rows.GetFieldCount(), text));
    EXPECT_FALSE(rows.GetCollect(QString("NoSuchColumn"), text));
    EXPECT_TRUE(rows.SetAbsolutePosition(2));
    EXPECT_EQ(Get(rows, QString("Name"), QString()), "Li");
    EXPECT_FALSE(rows.SetAbsolutePosition(3));
    EXPECT_TRUE(rows.MoveNext() && rows.IsEOF());
    EXPECT_FALSE(rows.GetCollect(0, text));
    EXPECT_EQ(text, "unchanged");

    // Unpadded, "2009-10-1" sorts before "2009-3-7" as text; stored dates must not.
    EXPECT_EQ(Get(Open("Select * From Patient Where Isdel = 0 Order By NewDate DESC"), QString("PatientID"), 0), 2);
    const QDateTime date = Get(Open("Select Min(NewDate) from Patient"), 0, QDateTime());
    EXPECT_EQ(date, QDateTime(QDate(2009, 3, 7), QTime(9, 5, 41)));
    EXPECT_EQ(Open("Select * From Patient Where NewDate = #" + VariantToText(date) + "#").GetRecordCount(), 1);

    AdoRecordSet live = Open("Select * From Patient Where Isdel = 0");
    EXPECT_EQ(live.GetRecordCount(), 2);
    Exec("Update Patient Set Isdel = '1' Where PatientID = 1");
    EXPECT_TRUE(live.Requery(-1));
    EXPECT_EQ(live.GetRecordCount(), 1);
    EXPECT_TRUE(live.Open(QString()));
    EXPECT_EQ(live.GetRecordCount(), 1);

    AdoRecordSet unbound, missing(&db());
    EXPECT_FALSE(unbound.Open("Select * From Patient") || unbound.IsOpen());
    EXPECT_FALSE(missing.Open("Select * From NoSuchTable") || missing.IsOpen());
    EXPECT_EQ(db().Execute("Select 1; Drop Table Patient"), nullptr);  // one statement at a time
    EXPECT_TRUE(Open("Select count(*) From Patient").IsOpen());
    EXPECT_EQ(db().Execute("Insert into Patient (PatientID,NewDate) Values (3, 'soon')"), nullptr);

    // Field writes commit; empty text is stored as NULL; a failed commit cancels the pending edits.
    AdoRecordSet two = Open("Select * From Patient Where PatientID = 2");
    EXPECT_TRUE(two.PutCollect("Other", QString()));
    EXPECT_TRUE(two.PutCollect("Age", 31));
    EXPECT_TRUE(two.PutCollect("Name", QString("O'Brien")));
    EXPECT_TRUE(two.Update());
    AdoRecordSet check = Open("Select Age, Name From Patient Where PatientID = 2 And Other Is Null");
    EXPECT_EQ(Get(check, 0, 0), 31);
    EXPECT_EQ(Get(check, 1, QString()), "O'Brien");
    EXPECT_EQ(Get(two, QString("Other"), QString("x")), "");

    Exec("Delete From Patient Where PatientID = 2");  // another command removed the row
    EXPECT_TRUE(two.PutCollect("Name", QString("Wang")));
    EXPECT_FALSE(two.Update());
    EXPECT_EQ(Get(two, QString("Name"), QString()), "O'Brien");

    AdoRecordSet refused = Open("Select * From Patient Where PatientID = 1");
    Refuse("RefuseAll", "Update");
    EXPECT_TRUE(refused.PutCollect("Age", 50));
    EXPECT_FALSE(refused.Update());
    EXPECT_EQ(Get(refused, QString("Age"), -1), 0);

    // A result that is no table's rows cannot be written back.
    AdoRecordSet counted = Open("Select Max(PatientID), count(*) As n from Patient");
    EXPECT_TRUE(counted.PutCollect("n", 5));
    EXPECT_FALSE(counted.Update());

    // A closed result reads nothing and says so only to its caller.
    rows.Close();
    EXPECT_FALSE(rows.GetCollect(QString("Name"), text) || rows.IsOpen());
}

// Which database a station opens.
TEST(DatabaseSettings, SectionChoosesTheDriverAndRefusesWhatCannotBeUsed)
{
    TempDir dir;
    const auto read = [&](const std::string& section) {
        const std::string path = (dir.Path() / "Settings.ini").string();
        std::ofstream(path) << "[CommNo]\nPath=3\n" << section;
        return ReadDatabaseSettings(path);
    };
    const DatabaseSettings none = read("");
    EXPECT_FALSE(none.postgres || !none.dataRoot.isEmpty() || !none.problem.isEmpty());

    const DatabaseSettings server = read("[database]\ndriver=postgresql\nHost=db.clinic\nPort=6543\n"
                                         "Database=ecg\nUser=room2\nData=/mnt/ecg/Data\n");
    EXPECT_EQ(DatabaseLocation(server), "postgresql://room2@db.clinic:6543/ecg");
    EXPECT_EQ(server.dataRoot, "/mnt/ecg/Data");
    EXPECT_TRUE(server.postgres && server.problem.isEmpty());

    EXPECT_FALSE(read("[Database]\nDriver=SQLite\n").postgres);
    // A port that is no port, or a value that could add keys of its own to the connection, is
    // refused naming its key.
    const char* bad[][2] = {{"Port", "0"}, {"Port", "65536"}, {"Port", "54x"}, {"Port", "-1"}, {"Driver", "x;y"},
                            {"Database", "corvida;Host=elsewhere"}, {"Host", "a=b"}, {"User", "ecg\x01"}, {"Data", "d;"}};
    for (const auto& [key, value] : bad)
        EXPECT_TRUE(read(std::string("[Database]\n") + key + "=" + value + "\n")
                        .problem.startsWith(QString("[Database] ") + key + " \"")) << key << " " << value;
}

// The build step makes the empty database only where there is none: a clinic's stays as it is.
// (Start-up refuses a missing file, or one that is no database, and never creates one.)
TEST(SqliteFile, BuildStepCreatesOneButNeverReplacesAFile)
{
    if (PgCluster::Wanted())
        GTEST_SKIP() << "about the SQLite file";
    TempDir dir(true);
    const std::string run = std::string("\"") + CORVIDA_CMAKE + "\" -DSQLITE3=\"" + CORVIDA_SQLITE3 +
                            "\" -DSCHEMA=\"" + CORVIDA_SOURCE_DIR "/db/Patient.sql\" -DDB=Corvida.mdb -P \"" +
                            CORVIDA_SOURCE_DIR "/db/CreateDatabase.cmake\"";
    ASSERT_EQ(std::system(run.c_str()), 0);
    {
        AdoConnection connection;
        ASSERT_TRUE(connection.OpenAccess("Corvida.mdb"));
        ASSERT_TRUE(connection.Execute("Insert into Patient (PatientID,Name,NewDate) Values (1, 'K', #2009-3-7#)"));
    }
    ASSERT_EQ(std::system(run.c_str()), 0);
    AdoConnection connection;
    ASSERT_TRUE(connection.OpenAccess("Corvida.mdb"));
    AdoRecordSet rows(&connection);
    ASSERT_TRUE(rows.Open("Select Name From Patient") && rows.MoveFirst());
    QString name;
    EXPECT_TRUE(rows.GetCollect(0, name));
    EXPECT_EQ(name, "K");
    EXPECT_FALSE(std::filesystem::exists("Corvida.mdb.new"));
}

}  // namespace
