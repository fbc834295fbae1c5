// The history patient list through the real dialog on a real database: a failing listing, and
// deletes of the current patient, of a row the database refuses and of record files.
#include "tests/history/HistoryFixture.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <chrono>
#include <latch>
#include <thread>

#include "dialogs/PatientInfoDialog.h"
#include "dialogs/HistoryPatientListDialog.h"
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

// A lock held briefly by another program is waited for; one held beyond the wait, a table gone or
// the server gone is an error, not "no patients".
TEST_F(HistoryList, FailingDatabaseIsReportedNotShownAsAnEmptyList)
{
    db().SetConnectTimeOut(1);
    ASSERT_TRUE(Reopen());
    db().SetConnectTimeOut(30);
    AddPatients();
    const auto listed = [&](int rows, const QStringList& texts, const char* step) {
        prompt.Clear();
        EXPECT_EQ(List().list->rowCount(), rows) << step;
        EXPECT_EQ(prompt.Texts(), texts) << step;
    };
    if (PgCluster::Wanted()) {
        ASSERT_TRUE(PgCluster::Instance().Stop());
        listed(0, {"The patient database could not be searched."}, "server stopped");
        ASSERT_TRUE(PgCluster::Instance().Start());
        listed(4, {}, "server back");
    }
    for (const int lockMs : {200, 2000}) {
        if (PgCluster::Wanted())
            break;  // a lock on the SQLite file
        std::latch locked(1);
        std::thread holder([&] {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "history-test-lock");
                db.setDatabaseName("Corvida.mdb");
                EXPECT_TRUE(db.open() && QSqlQuery(db).exec("Begin Exclusive"));
                locked.count_down();
                std::this_thread::sleep_for(std::chrono::milliseconds(lockMs));
                QSqlQuery(db).exec("Commit");
            }
            QSqlDatabase::removeDatabase("history-test-lock");
        });
        locked.wait();
        lockMs < 1000 ? listed(4, {}, "brief lock") : listed(0, {"The patient database could not be searched."}, "long lock");
        holder.join();
    }
    Engine("Drop Table Patient");
    listed(0, {"The patient database could not be searched."}, "table gone");
}

TEST_F(HistoryList, DeleteThatTheDatabaseRefusesIsReported_DeletingTheCurrentPatientEndsItsSession)
{
    AddPatients();
    // The engine refuses to change this one row, as a locked or damaged file would.
    Refuse("keep", "Update", "Old.PatientID = " + QString::number(li));
    HistoryPatientListDialog& refused = List();
    refused.show();
    ClickRow(refused, 0);  // li, the refused one
    ClickRow(refused, 1, Qt::ControlModifier);  // zhang wang
    QTest::mouseClick(refused.deleteButton, Qt::LeftButton);
    EXPECT_EQ(prompt.Texts(), (QStringList{"Delete the selected patients?", "Delete failed"}));
    QStringList names;
    for (int r = 0; r < refused.list->rowCount(); ++r)
        names << refused.list->item(r, HistoryPatientListDialog::kNameColumn)->text();
    EXPECT_EQ(names, QStringList({"li", QString::fromUtf8("王'明"), "wang li"}));

    window->GetSession().SetPortOpen(true);
    const auto made = window->MakePatientDialog();
    for (QLineEdit* box : {made->nameEdit, made->clinicalNoEdit, made->ageEdit, made->heightEdit, made->weightEdit})
        box->setText("50");
    made->OnOK();
    ASSERT_EQ(made->result(), QDialog::Accepted) << prompt.LastText().toStdString();
    window->AcceptNewPatient();
    ASSERT_EQ(window->State().currentPatientId, QString::number(made->StoredId()));
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
    EXPECT_EQ(prompt.Texts(), QStringList{"Please create a new patient first."});
}

TEST_F(HistoryList, DeleteRecordFilesRemovesRecordsAndLinksButFollowsNoLink)
{
    TempDir outside;
    WriteRecord(outside.Path() / "keep.cv", 3);
    WriteRecord(outside.Path() / "inner" / "keep.cv", 4);
    const fs::path folder = "Data/5";
    WriteRecord(folder / "m1.cv", 1);
    WriteRecord(folder / "old.cv" / "m2.cv", 2);  // a folder named like a record
    const std::string notes = WriteRecord(folder / "notes.txt", 5);
    fs::create_symlink(outside.Path() / "keep.cv", folder / "link.cv");
    fs::create_symlink(outside.Path() / "inner", folder / "dirlink.cv");
    const auto before = Snapshot(outside.Path());

    EXPECT_TRUE(DeleteRecordFiles("Data/5/"));
    EXPECT_TRUE(DeleteRecordFiles("Data/missing/"));
    EXPECT_EQ(Snapshot(folder), (std::map<std::string, std::string>{{"notes.txt", notes}, {"old.cv", ""}}));
    EXPECT_EQ(Snapshot(outside.Path()), before);
}
