// The patient statements on a real Corvida.mdb: ID allocation, the 400-row limit with reuse of the
// oldest deleted row, queries, soft deletion and look-ups.
#include <QDir>
#include <QFile>
#include <set>

#include "db/PatientFolder.h"
#include "db/PatientStore.h"
#include "tests/db/DatabaseFixture.h"
#include "tests/support/SmallDisk.h"

namespace {

const QDateTime kNow(QDate(2009, 3, 7), QTime(9, 5, 41));

PatientRecord Facts(const QString& name, const QString& clinicalNo = "00000000", const QString& other = {})
{
    return {0, name, 20, 170, 100, 0, 1, other, clinicalNo, {}, 0};
}

class PatientStore : public DatabaseFixture {
protected:
    PatientRecord Row(int32_t id)
    {
        const auto row = ExportPatientRow(id);
        EXPECT_TRUE(row.has_value()) << id;
        statements.clear();
        return row.value_or(PatientRecord());
    }
    bool Delete(int32_t id) { return DeletePatient(Row(id)) == DeleteOutcome::Deleted; }
    std::vector<int32_t> ListIds(const PatientQuery& query)
    {
        AdoRecordSet rows;
        EXPECT_TRUE(OpenPatientList(rows, query)) << query.statement.toStdString();
        std::vector<int32_t> ids;
        PatientRecord row;
        for (; ReadPatientRow(rows, row); rows.MoveNext())
            ids.push_back(row.PatientID);
        return ids;
    }
};

// Quotes, backslashes, percent signs and SQL in the texts are stored exactly as typed.
TEST_F(PatientStore, EmptyTableGivesIdOneAndItsFolder_TextsStoredAsTyped)
{
    const QString note = "x', 0, 0); Drop Table Patient; --\r\n50% 'line' two\\";
    const StoreResult stored = StorePatient(Facts("O\\'Brien", "1\\'--", note), kNow);
    ASSERT_TRUE(stored.Stored());
    EXPECT_EQ(std::pair(stored.id, stored.reused), std::pair(1, false));
    EXPECT_TRUE(QDir("Data/1").exists());
    const PatientRecord row = Row(1);
    EXPECT_EQ(QStringList({row.Name, row.Other, row.ClinicalNo, row.NewDate, QString::number(row.Isdel)}),
              QStringList({"O\\'Brien", note, "1\\'--", "2009-03-07 09:05:41", "0"}));
}

TEST_F(PatientStore, Row400IsInsertedThenTheOldestDeletedRowIsTakenOver_OneOfThoseSharingTheOldestDate)
{
    Seed(399);
    StoreResult stored = StorePatient(Facts("Row 400"), kNow);
    ASSERT_TRUE(stored.Stored());
    EXPECT_EQ(std::pair(stored.id, stored.reused), std::pair(400, false));

    ASSERT_TRUE(Delete(5));
    ASSERT_TRUE(Delete(9));
    Exec("Update Patient Set NewDate = #2008-6-1 8:0:0# Where PatientID = 9");  // 9 is the oldest
    QDir().mkpath("Data/9");
    ASSERT_TRUE(QFile("Data/9/m200806010800.cv").open(QIODevice::WriteOnly));

    stored = StorePatient(Facts("Takes over"), kNow.addSecs(60));
    ASSERT_TRUE(stored.Stored());
    EXPECT_EQ(std::pair(stored.id, stored.reused), std::pair(9, true));
    const PatientRecord row = Row(9);  // a new patient from now on
    EXPECT_EQ(QStringList({row.Name, row.NewDate, QString::number(row.Isdel)}),
              QStringList({"Takes over", "2009-03-07 09:06:41", "0"}));
    // The old patient's records are set aside, not erased and not handed on.
    EXPECT_EQ(QDir("Data/9").entryList(QDir::Files), QStringList{kPatientStampFile});
    EXPECT_TRUE(QFile::exists("Data/9.deleted-20090307090641/m200806010800.cv"));
    EXPECT_EQ(Count("1 = 1"), 400);
    // It stands in the history list as the newest.
    EXPECT_EQ(ListIds(LivePatientsStatement()).front(), 9);

    // Of deleted rows sharing the oldest date, only one is given up.
    for (int id : {20, 30, 40}) {
        ASSERT_TRUE(Delete(id));
        Exec(QString("Update Patient Set NewDate = '2000-1-1 0:0:0' Where PatientID = %1").arg(id));
    }
    stored = StorePatient(Facts("New"), kNow);
    ASSERT_TRUE(stored.Stored());
    EXPECT_TRUE(std::set<int32_t>({20, 30, 40}).count(stored.id));
    EXPECT_EQ(Count("Isdel = 1"), 3);
    EXPECT_EQ(Count("Isdel = 1 And NewDate = '2000-01-01 00:00:00'"), 2);
    EXPECT_EQ(Count("Name = 'New'"), 1);
}

TEST_F(PatientStore, EngineOrServerFailuresAreReportedAndNothingIsTakenAsStored)
{
    // The insert refused by the engine: "save error", no folder, no ID handed out.
    Refuse("RefuseInsert", "Insert");
    StoreResult stored = StorePatient(Facts("Li"), kNow);
    EXPECT_EQ(stored.outcome, StoreOutcome::InsertFailed);
    EXPECT_FALSE(QDir("Data").exists());
    Allow("RefuseInsert");

    // The take-over commit refused: the deleted row stays as it was.
    Seed(400);
    ASSERT_TRUE(Delete(7));
    Refuse("RefuseUpdate", "Update");
    stored = StorePatient(Facts("Li"), kNow);
    EXPECT_EQ(stored.outcome, StoreOutcome::ReuseCommitFailed);
    EXPECT_EQ(std::pair(Row(7).Name, Row(7).Isdel), std::pair(QString("P7"), 1));
    EXPECT_FALSE(QDir("Data/7").exists());
    // The old patient's folder cannot be set aside (a busy share): it is not handed on.
    Allow("RefuseUpdate");
    if (const SmallDisk busy("Data/7", "64k"); busy.Mounted()) {
        EXPECT_EQ(StorePatient(Facts("Li"), kNow).outcome, StoreOutcome::FolderFailed);
        EXPECT_EQ(Row(7).Isdel, 1);
    }

    // The highest ID in use is the largest there is: no new ID can be given.
    Exec("Delete From Patient");
    Exec("Insert into Patient (PatientID,Name,NewDate,Isdel) Values (2147483647, 'Last', '2009-1-1', 0)");
    stored = StorePatient(Facts("Li"), kNow);
    EXPECT_EQ(stored.outcome, StoreOutcome::InsertFailed);
    EXPECT_EQ(Count("1 = 1"), 1);

    if (PgCluster::Wanted()) {  // the server gone: a failed store and query; after its return they work
        Exec("Delete From Patient");
        ASSERT_TRUE(StorePatient(Facts("Li"), kNow).Stored());
        ASSERT_TRUE(PgCluster::Instance().Stop());
        EXPECT_EQ(StorePatient(Facts("Wang"), kNow).outcome, StoreOutcome::CountFailed);
        EXPECT_TRUE(FindPatient("1").queryFailed);
        ASSERT_TRUE(PgCluster::Instance().Start());
        const PatientLookup found = FindPatient("1");
        EXPECT_FALSE(found.queryFailed);
        EXPECT_EQ(found.row.value_or(PatientRecord()).Name, "Li");
        EXPECT_EQ(StorePatient(Facts("Wang"), kNow).id, 2);
    }

    // No table to count in: a failed query, never a bare "no".
    Exec("Drop Table Patient");
    EXPECT_EQ(StorePatient(Facts("Li"), kNow).outcome, StoreOutcome::CountFailed);
    EXPECT_STREQ(StoreFailureKey(StoreOutcome::CountFailed), "Search Record Error");
    EXPECT_TRUE(prompt.shown.empty());
}

// The order goes with its row or not at all; a row taken over never keeps the order of the
// patient it was; a database from before orders gains their table, its patients untouched.
TEST_F(PatientStore, TheOrderIsStoredWithItsRowOrNotAtAll_ATakenOverRowLosesTheOldOne_AnOldDatabaseGainsTheTable)
{
    PatientOrder order;
    order.accessionNumber = "ACC'1";
    order.patientName = QString::fromUtf8("王^小明=");
    order.patientBirthDate = "19600307";
    Seed(398);
    ASSERT_EQ(StorePatient(Facts("Ordered"), kNow, &order).id, 399);
    ASSERT_EQ(StorePatient(Facts("Typed"), kNow).id, 400);
    const OrderLookup found = FindPatientOrder(399);
    ASSERT_TRUE(found.order);
    EXPECT_EQ(QStringList({found.order->accessionNumber, found.order->patientName, found.order->patientBirthDate,
                           found.order->patientId}),
              QStringList({"ACC'1", QString::fromUtf8("王^小明="), "19600307", ""}));
    EXPECT_FALSE(FindPatientOrder(400).order || FindPatientOrder(400).queryFailed);

    ASSERT_TRUE(Delete(399));
    Exec("Update Patient Set NewDate = #2008-6-1 8:0:0# Where PatientID = 399");
    ASSERT_EQ(StorePatient(Facts("Takes over"), kNow).id, 399);
    EXPECT_FALSE(FindPatientOrder(399).order);

    // Without the table the order cannot go in, so neither does the row.
    Engine("Drop Table PatientOrder");
    ASSERT_TRUE(Delete(1));
    EXPECT_EQ(StorePatient(Facts("Lost"), kNow, &order).outcome, StoreOutcome::ReuseCommitFailed);
    EXPECT_EQ(Row(1).Name, "P1");
    EXPECT_TRUE(FindPatientOrder(1).queryFailed);

    const std::optional<QStringList> columns = db().TableColumns("Patient");
    ASSERT_TRUE(Reopen()) << db().LastError().toStdString();
    EXPECT_EQ(db().TableColumns("Patient"), columns);
    EXPECT_EQ(Count("1 = 1"), 400);
    EXPECT_EQ(db().TableColumns(kPatientOrderTable).value_or(QStringList()).join(',').toLower(),
              PatientOrderColumns().join(',').toLower());
    EXPECT_FALSE(FindPatientOrder(1).queryFailed);
}

TEST_F(PatientStore, QueryFiltersMatchWhatIsTyped_NewestFirst_DeletedLeftOut)
{
    const char* patients[][2] = {{"Li", "00000001"},     {"lin hua", "00000002"}, {"O'Brien", "A'B"},
                                 {"王小明", "00000004"}, {"50% off\\", "12345678"}, {"Gone Li", "00000006"}};
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(StorePatient(Facts(QString::fromUtf8(patients[i][0]), patients[i][1]), kNow.addSecs(i)).Stored());
    ASSERT_TRUE(Delete(6));

    const struct {
        const char* name;
        const char* number;
        std::vector<int32_t> ids;
    } cases[] = {
        {"", "", {5, 4, 3, 2, 1}}, {"%", "", {5, 4, 3, 2, 1}}, {"li", "", {2, 1}},  // Like ignores case
        {"'", "", {3}}, {"王", "", {4}}, {"小明", "0000", {4}}, {"0%", "", {5}}, {"", "'B", {3}},
        {"' Or '1' = '1", "", {}}, {"Li", "00000002", {2}}, {"\\", "", {5}},
        // A backslash before a quote ends no text, whatever the server's default for backslashes.
        {"\\' or isdel=1 --", "", {}}, {"\\'; update patient set name=chr(88) where patientid=1 --", "", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ListIds(QueryPatientsStatement(QString::fromUtf8(c.name), QString::fromUtf8(c.number))), c.ids);
    EXPECT_EQ(Count("Name = 'X'"), 0);
}

TEST_F(PatientStore, DeleteMarksTheRowAndSaysWhetherThereWasOne_ExportAndLookUpFindDeletedRowsToo)
{
    Seed(3);
    EXPECT_TRUE(Delete(2));
    // Stored as the number 1 (a PostgreSQL column has but the one type).
    EXPECT_EQ(Count(PgCluster::Wanted() ? "Isdel = 1 And PatientID = 2"
                                        : "Isdel = 1 And typeof(Isdel) = 'integer' And PatientID = 2"),
              1);
    EXPECT_EQ(ListIds(LivePatientsStatement()), (std::vector<int32_t>{3, 1}));
    EXPECT_EQ(DeletePatient({77}), DeleteOutcome::NotSamePatient);

    EXPECT_EQ(ExportPatientRow(2).value_or(PatientRecord()).Name, "P2");
    EXPECT_FALSE(ExportPatientRow(4).has_value());
    const PatientLookup found = FindPatient("2");
    EXPECT_FALSE(found.queryFailed);
    EXPECT_EQ(found.row.value_or(PatientRecord()).ClinicalNo, "00000002");
    EXPECT_FALSE(FindPatient("4").queryFailed || FindPatient("4").row);
    statements.clear();
    for (const char* bad : {"", "2 Or 1 = 1", "x"})
        EXPECT_TRUE(FindPatient(bad).queryFailed) << bad;
    EXPECT_TRUE(statements.isEmpty());

    ASSERT_TRUE(Delete(3));
    EXPECT_EQ(StorePatient(Facts("Wang"), kNow).id, 4);  // after the highest ever given
    Exec("Drop Table Patient");
    EXPECT_EQ(DeletePatient({1}), DeleteOutcome::Failed);
    EXPECT_TRUE(FindPatient("1").queryFailed);
    EXPECT_FALSE(ExportPatientRow(1).has_value());
}

}  // namespace
