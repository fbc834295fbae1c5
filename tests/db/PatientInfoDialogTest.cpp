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

// A full table says so; a take-over the database refuses is a save error. Neither makes a patient.
TEST_F(NewPatient, FullTableOrFailedTakeOverKeepsTheDialogOpenWithItsMessage)
{
    for (const int deleted : {0, 3}) {
        QStringList values;
        for (int id = 1; id <= kMaxPatientRows; ++id)
            values << QString("(%1, 'P', '2009-01-01 00:00:00', %2)").arg(id).arg(id == deleted ? 1 : 0);
        Exec("Delete From Patient");
        Exec("Insert into Patient (PatientID,Name,NewDate,Isdel) Values " + values.join(", "));
        if (deleted)
            Refuse("RefuseUpdate", "Update");
        prompt.Clear();
        PatientInfoDialog& dialog = Dialog();
        dialog.OnOK();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(prompt.Texts(), QStringList({deleted ? "save error" : "Must delete Patient Record"}));
        EXPECT_TRUE(window->State().currentPatientId.isEmpty());
        EXPECT_FALSE(QDir("Data/3").exists());
    }
}

}  // namespace
