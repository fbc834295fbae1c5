// New Patient from a wlmscpfs, through the real dialogs headless: the chosen entry fills the
// dialog, the patient is stored with its order, and its record reaches a storescp under that order
// with the worklist's name exactly, dciodvfy clean. A failing worklist is named; typing still works.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "dialogs/PatientInfoDialog.h"
#include "dialogs/WorklistDialog.h"
#include "tests/dicom/DicomFixture.h"
#include "tests/report/ReportFixture.h"
#include "tests/support/WorklistScp.h"

namespace {

class WorklistSend : public ReportTest {
protected:
    void SetUp() override
    {
        ReportTest::SetUp();
        app.settings.configPath = Out("Settings.ini");
        char date[16];
        const std::tm day = LocalToday();
        std::strftime(date, sizeof date, "%Y%m%d", &day);
        today = date;
    }
    void SetWorklist(quint16 port, int timeout)
    {
        std::ofstream(dir.Path() / "Settings.ini") << "[Worklist]\nHost=127.0.0.1\nPort=" << port
            << "\nCalledAETitle=" << kWorklistAe << "\nStationAETitle=ECG1\nTimeout=" << timeout << "\n";
    }
    // Opens the worklist of New Patient and waits for its answer: the list, or null when it closed.
    static WorklistDialog* OpenWorklist(PatientInfoDialog& d)
    {
        d.worklistButton->click();
        QPointer<WorklistDialog> list = d.findChildren<WorklistDialog*>().last();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !list || list->list->rowCount() > 0; }, 60000));
        return list;
    }
    std::string today;
};

}  // namespace

TEST_F(WorklistSend, TheChosenEntryFillsNewPatientAndItsEcgReachesThePacsUnderTheOrder)
{
    const fs::path folder = dir.Path() / "worklist";
    ASSERT_TRUE(WriteWorklistFile(folder, "a", {"ISO_IR 100", "M\xfcller^Hans", "L1", "19600307", "M", "ACC7", today, "0930"}));
    ASSERT_TRUE(WriteWorklistFile(folder, "b", {"GB18030", "\xc0\xee^\xcb\xc4", "G2", "", "", "ACC8", today, "0800"}));
    ASSERT_TRUE(WriteWorklistFile(folder, "c", {"", "A-Name-Far-Too-Long^ForTheTable", "T3", "", "M", "ACC9", today, "1000"}));
    WorklistScp scp(folder);
    SetWorklist(scp.Port(), 5);
    PatientInfoDialog d(app.context, true);
    WorklistDialog* list = OpenWorklist(d);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->list->rowCount(), 3);

    list->filterEdit->setText("too-long");  // refused, never cut
    list->OnChoose();
    EXPECT_EQ(prompt.LastText(), "The name or patient ID of this entry is longer than the patient table holds.\n"
                                 "Type the patient by hand.");
    list->filterEdit->setText(QString::fromUtf8("李"));
    list->OnChoose();
    EXPECT_EQ(d.nameEdit->text() + "|" + d.clinicalNoEdit->text() + "|" + d.ageEdit->text(), QString::fromUtf8("李 四|G2|"));
    EXPECT_EQ(d.sexList->currentIndex(), -1);  // the worklist said nothing: the user chooses
    d.ageEdit->setText("40");
    d.OnOK();
    EXPECT_EQ(prompt.LastText(), "Please choose the sex.");

    list = OpenWorklist(d);
    ASSERT_TRUE(list);
    list->filterEdit->setText("l1");
    list->OnChoose();
    const int age = AgeOn("19600307", LocalToday());
    EXPECT_EQ(d.nameEdit->text() + "|" + d.clinicalNoEdit->text() + "|" + d.ageEdit->text() + "|" + d.sexList->currentText(),
              QString::fromUtf8("Müller Hans|L1|%1|MALE").arg(age));
    EXPECT_TRUE(d.orderLabel->text().contains("ACC7"));
    d.OnOK();
    ASSERT_GT(d.StoredId(), 0) << prompt.LastText().toStdString();

    // A record of the new patient, sent by the tool and written for dciodvfy.
    const fs::path made = dir.Path() / "Data" / std::to_string(d.StoredId()) / "m202501010930.cv";
    fs::copy_file(record, made);
    StoreScp pacs({}, dir.Path() / "in");
    WritePacsSettings(dir.Path() / "S.ini", pacs.Port(), 10);
    const QString tool = CORVIDA_TOOLS_DIR "/corvida-export";
    const QString cv = QString::fromStdString(made.string());
    QString out;
    ASSERT_EQ(RunProgram(tool, {"--settings", "S.ini", "--language", "English", "--send", cv}, &out), 0) << out.toStdString();
    ASSERT_EQ(RunProgram(tool, {"--settings", "S.ini", "--language", "English", "--dicom", "w.dcm", cv}), 0);
    const std::map<std::string, fs::path> received = ReceivedByUid(dir.Path() / "in");
    ASSERT_EQ(received.size(), 2u);
    for (const auto& [uid, file] : received) {
        const auto object = Load(file);
        DcmDataset& ds = *object->getDataset();
        DcmItem* request = Item(ds, DCM_RequestAttributesSequence);
        ASSERT_NE(request, nullptr);
        EXPECT_EQ(Str(ds, DCM_StudyInstanceUID) + " " + Str(ds, DCM_AccessionNumber) + " " + Str(ds, DCM_PatientName) + " "
                  + Str(ds, DCM_PatientID) + " " + Str(ds, DCM_IssuerOfPatientID) + " " + Str(ds, DCM_PatientBirthDate),
                  "1.2.826.0.1.3680043.10.999.7.7 ACC7 Müller^Hans L1 HOSPITAL 19600307");
        EXPECT_EQ(Str(*request, DCM_RequestedProcedureID) + " " + Str(*request, DCM_AccessionNumber) + " "
                  + Str(*request, DCM_ScheduledProcedureStepID) + " " + Str(*request, DCM_StudyInstanceUID),
                  "RP7 ACC7 SPS7 1.2.826.0.1.3680043.10.999.7.7");
    }
    EXPECT_EQ(Dciodvfy(dir.Path() / "w.dcm"), "GeneralECG");
}

TEST_F(WorklistSend, AWorklistThatIsDownOrHangsIsNamedAndTheDialogStillTakesATypedPatient)
{
    RawPeer hanging("");
    for (const auto& [port, says] : {std::pair{FreePort(), "The worklist cannot be reached. ("},
                                     std::pair{hanging.Port(), "The worklist did not answer in time. ("}}) {
        SetWorklist(port, 1);
        PatientInfoDialog d(app.context, true);
        prompt.Clear();
        EXPECT_FALSE(OpenWorklist(d));
        EXPECT_TRUE(prompt.LastText().startsWith(says)) << prompt.LastText().toStdString();
        d.nameEdit->setText("Typed");
        d.OnOK();
        ASSERT_GT(d.StoredId(), 0);
        EXPECT_FALSE(FindPatientOrder(d.StoredId()).order);
    }
}
