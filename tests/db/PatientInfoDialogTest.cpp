// The New Patient dialog, headless: what OK stores and hands to the main window, what it refuses,
// and the entry limits for typed and pasted text.
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "db/PatientInfoDialog.h"
#include "db/PatientStore.h"
#include "tests/db/DatabaseFixture.h"
#include "ui/MainWindow.h"

namespace {

class NewPatient : public DatabaseFixture {
protected:
    void SetUp() override
    {
        DatabaseFixture::SetUp();
        window = std::make_unique<MainWindow>(app.context);
        window->GetSession().SetPortOpen(true);
    }
    // The dialog as New Patient opens it, reporting to the window.
    PatientInfoDialog& Dialog() { return *(opened = window->MakePatientDialog()); }
    std::optional<PatientRecord> Stored(int32_t id)
    {
        db().SetStatementTrace({});
        auto row = ExportPatientRow(id);
        db().SetStatementTrace([this](const QString& s) { statements << s; });
        return row;
    }
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<PatientInfoDialog> opened;  // the last one made
};

TEST_F(NewPatient, OkWithTheStartValuesStoresThemAndSetsTheCurrentPatient)
{
    PatientInfoDialog& dialog = Dialog();
    EXPECT_EQ(dialog.windowTitle(), "PatientInfo");
    EXPECT_EQ(dialog.sexList->itemText(1), "FEMALE");
    if (const char* shots = getenv("CORVIDA_SCREENSHOT_DIR")) {
        dialog.show();
        dialog.grab().save(QString(shots) + "/patient-info-dialog.png");
    }
    QTimer::singleShot(0, &dialog, [&] { QTest::mouseClick(dialog.okButton, Qt::LeftButton); });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);

    const auto row = Stored(1);
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->Name, "");
    EXPECT_EQ(row->Age, 20);
    EXPECT_EQ(row->Height, 170);
    EXPECT_EQ(row->Weight, 100);
    EXPECT_EQ(row->Blood, 0);
    EXPECT_EQ(row->Sex, 0);
    EXPECT_EQ(row->Other, "");
    EXPECT_EQ(row->ClinicalNo, "00000000");
    EXPECT_TRUE(QDir("Data/1").exists());
    const RunState& state = window->State();
    EXPECT_EQ(state.currentPatientId, "1");
    EXPECT_EQ(state.dataDirectory, "Data/1");
    EXPECT_EQ(window->HeaderLine1(), "Name -    Clinical NO. - 00000000  Sex - MALE");
    EXPECT_TRUE(state.patientHeaderValid);
    EXPECT_TRUE(window->GetSession().MonitoringStarted());
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(NewPatient, ChosenValuesAreStoredWithTheNoteLinesAndShownInTheHeader)
{
    PatientInfoDialog& dialog = Dialog();
    dialog.clinicalNoEdit->setText("A'1");
    dialog.nameEdit->setText("王 O'Brien");
    dialog.ageEdit->setText("3000");
    dialog.heightEdit->setText(" 0 ");
    dialog.weightEdit->setText("2000");
    dialog.bloodList->setCurrentIndex(2);  // AB
    dialog.sexList->setCurrentIndex(1);
    dialog.otherEdit->setPlainText("first line\nsecond line");
    dialog.OnOK();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    const auto row = Stored(dialog.StoredId());
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->ClinicalNo, "A'1");
    EXPECT_EQ(row->Name, "王 O'Brien");
    EXPECT_EQ(row->Age, 3000);
    EXPECT_EQ(row->Height, 0);
    EXPECT_EQ(row->Weight, 2000);
    EXPECT_EQ(row->Blood, 2);
    EXPECT_EQ(row->Sex, 1);
    EXPECT_EQ(row->Other, "first line\r\nsecond line");
    EXPECT_EQ(window->HeaderLine1(), "Name -  王 O'Brien  Clinical NO. - A'1  Sex - FEMALE");
    EXPECT_EQ(window->State().patientSex, "1");
}

TEST_F(NewPatient, RefusalsKeepTheDialogOpenAndStoreNothing)
{
    const struct {
        const char* age;
        const char* height;
        const char* weight;
        const char* message;
    } cases[] = {
        {"3001", "170", "100", "Please enter an integer between 0 and 3000."},
        {"20", "-1", "100", "Please enter an integer between 0 and 3000."},
        {"20", "170", "2001", "Please enter an integer between 0 and 2000."},
        {"twenty", "170", "100", "Please enter an integer."},
        {"", "170", "100", "Please enter an integer."},
        {"20", "1.5", "100", "Please enter an integer."},
    };
    for (const auto& c : cases) {
        PatientInfoDialog& dialog = Dialog();
        dialog.ageEdit->setText(c.age);
        dialog.heightEdit->setText(c.height);
        dialog.weightEdit->setText(c.weight);
        prompt.Clear();
        dialog.OnOK();
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << c.age << c.height << c.weight;
        EXPECT_EQ(prompt.LastText(), c.message);
    }
    EXPECT_TRUE(statements.isEmpty());

    // Port not ready: the database is never reached.
    window->GetSession().SetPortOpen(false);
    PatientInfoDialog& dialog = Dialog();
    prompt.Clear();
    dialog.OnOK();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(prompt.Texts(), QStringList({"Please Check the port setting!"}));
    EXPECT_TRUE(statements.isEmpty());
    EXPECT_TRUE(window->State().currentPatientId.isEmpty());
}

TEST_F(NewPatient, CancelChangesNothing)
{
    window->State().currentPatientId = "5";
    PatientInfoDialog& dialog = Dialog();
    dialog.nameEdit->setText("Li");
    QTimer::singleShot(0, &dialog, [&] { QTest::mouseClick(dialog.cancelButton, Qt::LeftButton); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(statements.isEmpty());
    EXPECT_EQ(window->State().currentPatientId, "5");
    EXPECT_FALSE(QDir("Data").exists());
    EXPECT_TRUE(window->HeaderLine1().isEmpty());
}

TEST_F(NewPatient, FullTableKeepsTheDialogOpenWithItsMessage)
{
    QStringList values;
    for (int id = 1; id <= kMaxPatientRows; ++id)
        values << QString("(%1, 'P', '2009-01-01 00:00:00', 0)").arg(id);
    Exec("Insert into Patient (PatientID,Name,NewDate,Isdel) Values " + values.join(", "));
    PatientInfoDialog& dialog = Dialog();
    dialog.OnOK();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(prompt.Texts(), QStringList({"Must delete Patient Record"}));
    EXPECT_TRUE(window->State().currentPatientId.isEmpty());
}

TEST_F(NewPatient, FailedTakeOverIsReportedAndNoPatientIsMade)
{
    QStringList values;
    for (int id = 1; id <= kMaxPatientRows; ++id)
        values << QString("(%1, 'P', '2009-01-01 00:00:00', %2)").arg(id).arg(id == 3 ? 1 : 0);
    Exec("Insert into Patient (PatientID,Name,NewDate,Isdel) Values " + values.join(", "));
    Refuse("RefuseUpdate", "Update");
    PatientInfoDialog& dialog = Dialog();
    dialog.OnOK();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(prompt.Texts(), QStringList({"save error"}));
    EXPECT_EQ(prompt.shown.at(0).caption, "PatientInfo");
    EXPECT_TRUE(window->State().currentPatientId.isEmpty());
    EXPECT_FALSE(QDir("Data/3").exists());
}

TEST_F(NewPatient, RealTimeViewHeaderComesFromThePatientRow)
{
    PatientRecord facts;
    facts.Name = "Li";
    facts.ClinicalNo = "007";
    facts.Sex = 1;
    ASSERT_TRUE(StorePatient(facts).Stored());
    window->State().currentPatientId = "1";
    window->OnRealTimeView();
    EXPECT_EQ(window->HeaderLine1(), "Name  - Li    Clinical NO. -  007    Sex  - FEMALE");
    EXPECT_TRUE(prompt.shown.empty());

    window->State().currentPatientId = "2";
    window->OnRealTimeView();
    EXPECT_EQ(prompt.LastText(), "The Patient does not exist!");
    Exec("Drop Table Patient");
    window->OnRealTimeView();
    EXPECT_EQ(prompt.LastText(), "Search Record Error");
    EXPECT_EQ(window->HeaderLine1(), "Name  - Li    Clinical NO. -  007    Sex  - FEMALE");
}

TEST_F(NewPatient, TextBoxesHoldTypedAndPastedTextToTheirByteLimits)
{
    PatientInfoDialog& dialog = Dialog();
    dialog.show();
    QLineEdit* name = dialog.nameEdit;

    QTest::keyClicks(name, "abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(name->text(), "abcdefghijklmnopqrst");

    name->clear();
    name->insert("一二三四五六七八九十");  // ten Chinese characters fill it
    EXPECT_EQ(name->text(), "一二三四五六七八九十");
    name->insert("x");
    EXPECT_EQ(name->text(), "一二三四五六七八九十");

    // A paste into the middle keeps the text around it and cuts the pasted part.
    name->setText("abcdefghij");
    name->setCursorPosition(5);
    name->insert("王王王王王王王王");
    EXPECT_EQ(name->text(), "abcde王王王王王fghij");
    EXPECT_EQ(name->cursorPosition(), 10);

    name->setText(QString(25, 'x'));  // text set by the program is held too
    EXPECT_EQ(name->text(), QString(20, 'x'));

    QLineEdit* number = dialog.clinicalNoEdit;
    number->selectAll();
    number->insert("123456789");
    EXPECT_EQ(number->text(), "12345678");
    number->selectAll();
    number->insert("1'; Drop Table Patient");
    EXPECT_EQ(number->text(), "1'; Drop");

    // The note counts each line break as the two bytes it is stored as.
    QPlainTextEdit* note = dialog.otherEdit;
    note->insertPlainText(QString(150, 'a'));
    note->insertPlainText(QString("\n").repeated(30) + "tail");
    EXPECT_EQ(EntryByteLength(note->toPlainText().replace('\n', "\r\n")), kOtherEntryLimit);
    EXPECT_EQ(note->toPlainText(), QString(150, 'a') + QString("\n").repeated(25));
    note->insertPlainText("more");
    EXPECT_EQ(note->toPlainText().size(), 175);
}

}  // namespace
