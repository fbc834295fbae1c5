// Send to PACS from the history list, through the real dialog on a real database and a storescp
// started here: what arrives is what the record makes, a PACS that fails is named per record in
// the one message, and without a PACS the entry is not there.
#include <QAction>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>

#include "dicom/DicomExport.h"
#include "history/DicomPatientRow.h"
#include "dialogs/HistoryPatientListDialog.h"
#include "tests/dicom/DicomFixture.h"
#include "tests/report/ReportFixture.h"
#include "tests/support/StoreScp.h"

namespace {

class HistorySend : public ReportTest {
protected:
    void SetUp() override
    {
        ReportTest::SetUp();
        app.settings.configPath = Out("Settings.ini");
    }
    void WritePacs(quint16 port) { WritePacsSettings(dir.Path() / "Settings.ini", port, 10); }
    // Sends the listed patient's records and gives the message shown.
    QString Send()
    {
        HistoryPatientListDialog d(app.context, {});
        EXPECT_EQ(d.list->rowCount(), 1);
        if (!d.sendAction)
            return "no Send to PACS";
        prompt.Clear();
        d.sendAction->trigger();
        // The send runs on: the window is free and says nothing yet.
        EXPECT_FALSE(d.sendAction->isEnabled());
        EXPECT_TRUE(prompt.shown.empty());
        EXPECT_TRUE(QTest::qWaitFor([&] { return !prompt.shown.empty(); }, 120000));
        EXPECT_TRUE(d.sendAction->isEnabled());
        EXPECT_EQ(prompt.shown.size(), 1u);
        return prompt.LastText();
    }
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
    // Each waveform element by element as the record makes it; each report a PDF of the patient.
    const std::optional<PatientRecord> row = FindPatient(QString::number(patientId)).row;
    ASSERT_TRUE(row);
    for (const fs::path& file : {record, second}) {
        SCOPED_TRACE(file.filename().string());
        RecordObjects made = BuildRecordObjects(file, DicomPatientFromRow(*row), app.language, kRoot, true, nullptr);
        ASSERT_EQ(made.objects.size(), 1u);
        DcmDataset& sent = *made.objects[0].file->getDataset();
        const std::string uid = Str(sent, DCM_SOPInstanceUID);
        ASSERT_TRUE(received.count(uid));
        ExpectSameElements(sent, *Load(received[uid])->getDataset());
        received.erase(uid);
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
