// The history patient list through the real dialog on a real database: listing, query, delete and
// view with the record list opened on top.
#include "tests/history/HistoryFixture.h"

#include <QApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "db/PatientInfoDialog.h"
#include "history/HistoryPatientListDialog.h"
#include "record/RecordListDialog.h"
#include "ui/MainWindow.h"

namespace {

const QDateTime kDay(QDate(2009, 3, 7), QTime(9, 0, 0));

class HistoryList : public HistoryTest {
protected:
    // The list as History View opens it, reporting to the window.
    HistoryPatientListDialog& List()
    {
        opened.reset();
        window = std::make_unique<MainWindow>(app.context);
        return *(opened = window->MakeHistoryDialog());
    }
    // Four patients, the newest last, so listed as li, zhang wang, 王'明, wang li.
    void AddPatients()
    {
        AddPatient("wang li", "00001200", 0, kDay);
        AddPatient(QString::fromUtf8("王'明"), "00000120", 1, kDay.addSecs(60));
        AddPatient("zhang wang", "00003400", 1, kDay.addSecs(120));
        li = AddPatient("li", "12000000", 0, kDay.addSecs(180));
    }
    static void ClickRow(HistoryPatientListDialog& d, int row, Qt::KeyboardModifiers keys = {})
    {
        const QRect r = d.list->visualItemRect(d.list->item(row, 0));
        QTest::mouseClick(d.list->viewport(), Qt::LeftButton, keys, r.center());
    }
    int32_t li = 0;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<HistoryPatientListDialog> opened;
};

}  // namespace

TEST_F(HistoryList, FailingDatabaseIsReportedNotShownAsAnEmptyList)
{
    // A lock held briefly by another program is waited for; one held beyond the wait, or a table
    // gone, is an error, not "no patients".
    AppDatabase::Instance().SetConnectTimeOut(1);
    OpenFreshDatabase();
    AppDatabase::Instance().SetConnectTimeOut(30);
    AddPatients();
    struct Case {
        int lockMs;  // an exclusive lock from a second connection, from before the list opens
        bool drop;
        int rows;
        QStringList texts;
    } cases[] = {{200, false, 4, {}}, {2000, false, 0, {"Search Record Error"}}, {0, true, 0, {"Search Record Error"}}};
    if (PgCluster::Wanted()) {
        // The server gone: the same error; the list is back with the server.
        ASSERT_TRUE(PgCluster::Instance().Stop());
        EXPECT_EQ(List().list->rowCount(), 0);
        EXPECT_EQ(prompt.Texts(), QStringList({"Search Record Error"}));
        ASSERT_TRUE(PgCluster::Instance().Start());
        prompt.Clear();
        EXPECT_EQ(List().list->rowCount(), 4);
        EXPECT_TRUE(prompt.shown.empty());
    }
    for (const Case& c : cases) {
        if (c.lockMs && PgCluster::Wanted())
            continue;  // a lock on the SQLite file
        prompt.Clear();
        if (c.drop)
            Engine("Drop Table Patient");
        std::atomic<bool> locked = c.lockMs == 0;
        std::thread holder([&] {
            if (c.lockMs == 0)
                return;
            {
                QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "history-test-lock");
                db.setDatabaseName("Corvida.mdb");
                EXPECT_TRUE(db.open() && QSqlQuery(db).exec("Begin Exclusive"));
                locked = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(c.lockMs));
                QSqlQuery(db).exec("Commit");
            }
            QSqlDatabase::removeDatabase("history-test-lock");
        });
        while (!locked)
            std::this_thread::yield();
        HistoryPatientListDialog& d = List();
        holder.join();
        EXPECT_EQ(d.list->rowCount(), c.rows) << c.lockMs;
        EXPECT_EQ(prompt.Texts(), c.texts) << c.lockMs;
    }
}

TEST_F(HistoryList, DeletingTheCurrentPatientEndsItsSession)
{
    AddPatients();
    window = std::make_unique<MainWindow>(app.context);
    window->GetSession().SetPortOpen(true);
    const auto made = window->MakePatientDialog();
    for (QLineEdit* box : {made->nameEdit, made->clinicalNoEdit, made->ageEdit, made->heightEdit, made->weightEdit})
        box->setText("50");
    made->OnOK();
    ASSERT_EQ(made->result(), QDialog::Accepted) << prompt.LastText().toStdString();
    window->AcceptNewPatient();
    const QString id = QString::number(made->StoredId());
    ASSERT_EQ(window->State().currentPatientId, id);

    HistoryPatientListDialog& d = *(opened = window->MakeHistoryDialog());
    d.show();
    ClickRow(d, 0);  // the newest: the patient just made
    QTest::mouseClick(d.deleteButton, Qt::LeftButton);
    d.OnClose();

    EXPECT_TRUE(window->State().currentPatientId.isEmpty());
    EXPECT_EQ(window->HeaderLine1(), " ");
    prompt.Clear();
    window->OnRecord();
    window->OnPrint();
    EXPECT_FALSE(window->GetSession().Recording());
    EXPECT_EQ(prompt.Texts(), QStringList{"Please build a new patient"});
}

TEST_F(HistoryList, DeleteThatTheDatabaseRefusesIsReportedAndThePatientStays)
{
    AddPatients();
    // The engine refuses to change this one row, as a locked or damaged file would.
    Refuse("keep", "Update", "Old.PatientID = " + QString::number(li));
    HistoryPatientListDialog& d = List();
    d.show();
    ClickRow(d, 0);  // li, the refused one
    ClickRow(d, 1, Qt::ControlModifier);  // zhang wang
    QTest::mouseClick(d.deleteButton, Qt::LeftButton);
    EXPECT_EQ(prompt.Texts(), (QStringList{"Delete Selected Rows, Are you sure ?", "Delete Fail"}));
    QStringList names;
    for (int r = 0; r < d.list->rowCount(); ++r)
        names << d.list->item(r, HistoryPatientListDialog::kNameColumn)->text();
    EXPECT_EQ(names, QStringList({"li", QString::fromUtf8("王'明"), "wang li"}));
}

TEST_F(HistoryList, DeleteRecordFilesRemovesRecordsAndLinksButFollowsNoLink)
{
    TempDir outside;
    const std::string kept = WriteRecord(outside.Path() / "keep.cv", 3);
    WriteRecord(outside.Path() / "inner" / "keep.cv", 4);
    const fs::path folder = "Data/5";
    WriteRecord(folder / "m1.cv", 1);
    WriteRecord(folder / "old.cv" / "m2.cv", 2);  // a folder named like a record
    WriteRecord(folder / "notes.txt", 5);
    fs::create_symlink(outside.Path() / "keep.cv", folder / "link.cv");
    fs::create_symlink(outside.Path() / "inner", folder / "dirlink.cv");
    const auto before = Snapshot(outside.Path());

    EXPECT_TRUE(DeleteRecordFiles("Data/5/"));
    EXPECT_TRUE(DeleteRecordFiles("Data/missing/"));
    std::set<std::string> left;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        left.insert(fs::relative(e.path(), folder).string());
    EXPECT_EQ(left, (std::set<std::string>{"notes.txt", "old.cv"}));
    EXPECT_EQ(Snapshot(outside.Path()), before);
}
