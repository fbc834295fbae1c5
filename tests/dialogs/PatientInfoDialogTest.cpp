// The New Patient dialog, headless: what OK refuses, with the database untouched or refusing.
#include <QDir>
#include <QLineEdit>

#include "dialogs/PatientInfoDialog.h"
#include "db/PatientStore.h"
#include "tests/db/DatabaseFixture.h"

namespace {

class NewPatient : public DatabaseFixture {
protected:
    // The dialog as New Patient opens it, after OK with these numbers; created tells whether it
    // handed a patient to its opener.
    PatientInfoDialog& PressOK(const char* age = "20", const char* height = "170", const char* weight = "100",
                               bool portOpen = true)
    {
        opened = std::make_unique<PatientInfoDialog>(app.context, portOpen);
        QObject::connect(opened.get(), &PatientInfoDialog::patientCreated, [this] { created = true; });
        opened->ageEdit->setText(age);
        opened->heightEdit->setText(height);
        opened->weightEdit->setText(weight);
        prompt.Clear();
        opened->OnOK();
        return *opened;
    }
    bool created = false;
    std::unique_ptr<PatientInfoDialog> opened;  // the last one made
};

// Numbers out of range, a full table, a take-over the database refuses (a save error), a port not
// ready and a table held elsewhere keep the dialog open with their message; none makes a patient.
TEST_F(NewPatient, RefusalsKeepTheDialogOpenAndMakeNoPatient)
{
    const QString upTo3000 = "Please enter an integer between 0 and 3000.", integer = "Please enter an integer.";
    const struct {
        const char *age, *height, *weight;
        QString message;
    } cases[] = {
        {"3001", "170", "100", upTo3000}, {"20", "-1", "100", upTo3000}, {"twenty", "170", "100", integer},
        {"20", "170", "2001", "Please enter an integer between 0 and 2000."}, {"", "170", "100", integer},
        {"20", "1.5", "100", integer},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PressOK(c.age, c.height, c.weight).result(), QDialog::Rejected) << c.age << c.height << c.weight;
        EXPECT_EQ(prompt.LastText(), c.message);
    }
    EXPECT_TRUE(statements.isEmpty());

    for (const int deleted : {0, 3}) {  // none deleted, or every third with row 3 the oldest
        Exec("Delete From Patient");
        Seed(kMaxPatientRows, deleted);
        if (deleted)
            Refuse("RefuseUpdate", "Update");
        statements.clear();
        EXPECT_EQ(PressOK().result(), QDialog::Rejected);
        EXPECT_EQ(prompt.Texts(), QStringList({deleted ? "save error" : "The patient list is full. Please delete patients first."}));
        EXPECT_FALSE(created);
        EXPECT_FALSE(QDir(deleted ? "Data/3" : "Data").exists());
        EXPECT_TRUE(statements.filter("Insert", Qt::CaseInsensitive).isEmpty()) << deleted;
    }

    // Port not ready: the database is never reached.
    statements.clear();
    EXPECT_EQ(PressOK("20", "170", "100", false).result(), QDialog::Rejected);
    EXPECT_EQ(prompt.Texts(), QStringList({"Please check the serial port settings."}));
    EXPECT_TRUE(statements.isEmpty());

    // Another station holds the table: given up within the time limit, while it still holds it.
    db().SetConnectTimeOut(1);
    ASSERT_TRUE(Reopen());
    TableHold hold(3000);
    EXPECT_EQ(PressOK().result(), QDialog::Rejected);
    EXPECT_EQ(prompt.Texts(), QStringList{"The patient database could not be searched."});
    EXPECT_TRUE(hold.Release()) << "New Patient waited for the table";
    db().SetConnectTimeOut(kDatabaseTimeLimitSeconds);
    EXPECT_FALSE(created);
}

}  // namespace
