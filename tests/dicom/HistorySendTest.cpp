// Send to PACS from the history list, through the real window on a real database and a storescp
// started here: what arrives is what the record makes, a PACS that fails is named per record in
// the one message, told even when History was closed before the answer came, and without a PACS
// the entry is not there.
#include <QAction>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>

#include "dicom/DicomExport.h"
#include "history/DicomPatientRow.h"
#include "dialogs/HistoryPatientListDialog.h"
#include "tests/dicom/DicomFixture.h"
#include "tests/report/ReportFixture.h"
#include "tests/support/Modal.h"
#include "tests/support/StoreScp.h"
#include "ui/MainWindow.h"

namespace {

class HistorySend : public ReportTest {
protected:
    void SetUp() override
    {
        ReportTest::SetUp();
        app.settings.configPath = Out("Settings.ini");
    }
    void WritePacs(quint16 port, int timeout = 10) { WritePacsSettings(dir.Path() / "Settings.ini", port, timeout); }
    // Opens History View and runs `act` on the list, then closes it.
    void InHistory(const std::function<void(HistoryPatientListDialog&)>& act)
    {
        WhenShown<HistoryPatientListDialog>([act](HistoryPatientListDialog& d) { act(d), d.reject(); });
        ButtonNamed(window, app.context.Translate("History View")).click();
    }
    // Sends the listed patient's records and gives the message shown once the PACS answered.
    QString Send()
    {
        bool offered = false;
        InHistory([&](HistoryPatientListDialog& d) {
            EXPECT_EQ(d.list->rowCount(), 1);
            if (!(offered = d.sendAction))
                return;
            prompt.Clear();
            d.sendAction->trigger();
            // The send runs on: the window is free and says nothing yet.
            EXPECT_FALSE(d.sendAction->isEnabled());
            EXPECT_TRUE(prompt.shown.empty());
            EXPECT_TRUE(QTest::qWaitFor([&] { return !prompt.shown.empty(); }, 120000));
            EXPECT_TRUE(d.sendAction->isEnabled());
        });
        EXPECT_EQ(prompt.shown.size(), offered ? 1u : 0u);
        return offered ? prompt.LastText() : "no Send to PACS";
    }
    MainWindow window{app.context};
};

}  // namespace

TEST_F(HistorySend, EveryRecordArrivesWithoutAPacsNoneIsOfferedAndAFailingOneIsNamedForEveryObject)
{
    std::ofstream(dir.Path() / "Settings.ini") << "[Dicom]\nUidRoot=1.2.826.0.1.3680043.10.999\n";  // no PACS
    EXPECT_EQ(Send(), "no Send to PACS");
    // Another recording (the same samples would be the same instances, kept once by the PACS).
    const fs::path second = record.parent_path() / "m200903071420.cv";
    EcgParameters p;
    ASSERT_TRUE(EcgPreset("bradycardia", p));
    WritePackets(second, SynthesizeRecord(p));
    StoreScp scp({}, dir.Path() / "in");
    WritePacs(scp.Port());
    EXPECT_EQ(Send(), "ECG waveform m200903071405.cv: sent to the PACS\n"
                      "ECG report m200903071405.cv: sent to the PACS\n"
                      "ECG waveform m200903071420.cv: sent to the PACS\n"
                      "ECG report m200903071420.cv: sent to the PACS");

    std::map<std::string, fs::path> received = ReceivedByUid(dir.Path() / "in");
    ASSERT_EQ(received.size(), 4u);
    // Each waveform the one the record makes for the patient of the list (its UID follows from the
    // samples, the patient and the language); each report a PDF of the patient.
    const std::optional<PatientRecord> row = FindPatient(QString::number(patientId)).row;
    ASSERT_TRUE(row);
    for (const fs::path& file : {record, second}) {
        RecordObjects made = BuildRecordObjects(file, DicomPatientFromRow(*row), app.language, kRoot, true, nullptr);
        EXPECT_EQ(received.erase(Str(*made.objects.at(0).file->getDataset(), DCM_SOPInstanceUID)), 1u) << file;
    }
    // The reports carry a PDF made for the patient of the list.
    for (const auto& [uid, path] : received) {
        SavePdf(*Load(path)->getDataset(), dir.Path() / "t.pdf");
        EXPECT_TRUE(PdfText(Out("t.pdf")).contains("Zhang Wei"));
    }

    // storescp cannot write its folder and answers with its own status; the other failures
    // take the same way, which the export tool's test walks through.
    fs::remove_all(dir.Path() / "in");
    const QStringList lines = Send().split('\n');
    const QRegularExpression rejected("^ECG (waveform|report) m2009030714(05|20).cv: rejected by the PACS \\(0xA700");
    EXPECT_EQ(lines.filter(rejected).size(), 4) << lines.join('\n').toStdString();
}

// A PACS that answers too slowly: History is closed while the send runs on; History opened again
// offers no second send, CLOSE waits for the end, and the failure is told when it comes.
TEST_F(HistorySend, AnAnswerAfterHistoryClosedIsStillToldAndTheProgramWaitsForIt)
{
    StoreScp scp({"--sleep-during", "1"}, dir.Path() / "in");  // a second per piece of an object
    WritePacs(scp.Port(), 2);
    window.show();
    InHistory([](HistoryPatientListDialog& d) { d.sendAction->trigger(); });
    InHistory([](HistoryPatientListDialog& d) { EXPECT_FALSE(d.sendAction->isEnabled()); });
    QPushButton& close = ButtonNamed(window, app.context.Translate("CLOSE"));
    close.click();
    EXPECT_EQ(prompt.Texts(), QStringList{app.context.Translate("Please wait for the PACS to answer")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompt.shown.size() == 2; }, 60000));
    EXPECT_EQ(prompt.shown[1].caption, app.context.Translate("History Patient List"));
    // Each object is named, and neither as sent.
    const QRegularExpression failed("^ECG [a-z]+ m200903071405.cv: (?!" + app.context.Translate("sent to the PACS") + ").+$");
    EXPECT_EQ(prompt.shown[1].text.split('\n').filter(failed).size(), 2) << prompt.shown[1].text.toStdString();
    close.click();
    EXPECT_FALSE(window.isVisible());
}
