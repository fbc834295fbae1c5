// corvida-export end to end: the objects read back with DCMTK sample by sample, checked with
// dciodvfy, and sent to a storescp started here; a PACS that is down, refuses or rejects gives
// a failure for every object, never a success.
#include <QProcess>
#include <QStandardPaths>

#include "dicom/DicomObjects.h"
#include "dicom/DicomSettings.h"
#include "record/RecordFile.h"
#include "tests/dicom/DicomFixture.h"
#include "tests/report/ReportFixture.h"
#include "tests/support/StoreScp.h"

const QString kTool = CORVIDA_TOOLS_DIR "/corvida-export";

class DicomExportTest : public ReportTest {
protected:
    void SetUp() override
    {
        ReportTest::SetUp();
        AppDatabase::Instance().Close();  // the tool opens the database itself
        WriteSettings(0, 5);
    }
    void WriteSettings(quint16 port, int timeout) { WritePacsSettings(dir.Path() / "S.ini", port, timeout); }
    int Export(QStringList args, QString* out = nullptr, QString* err = nullptr)
    {
        return RunProgram(kTool, QStringList{"--settings", "S.ini", "--language", "English"} + args, out, err);
    }
};

// Made, read back, checked by dciodvfy, then sent: the archive holds what was made.
TEST_F(DicomExportTest, WaveformAndReportHoldTheRecordPassDciodvfyAndArriveIntact)
{
    // V1 at 5 mm/mV and V6 at the gain code without a scale, to see the sensitivity follow.
    std::vector<DevicePacket> packets = *ReadRecordPackets(record);
    for (DevicePacket& p : packets) {
        const uint8_t lead = p[0] & 15;
        if (lead == kLeadV1 || lead == kLeadV6)
            p[1] = static_cast<uint8_t>((p[1] & 0xF0) | (lead == kLeadV1 ? 0 : 3));
    }
    WritePackets(record, packets);
    QString err;
    ASSERT_EQ(Export({"--dicom", "w.dcm", "--report-dicom", "r.dcm", RecordPath()}, nullptr, &err), 0)
        << err.toStdString();
    auto wave = Load(dir.Path() / "w.dcm"), report = Load(dir.Path() / "r.dcm");
    DcmDataset &w = *wave->getDataset(), &r = *report->getDataset();
    EXPECT_EQ(Str(w, DCM_SOPClassUID) + " " + Str(r, DCM_SOPClassUID),
              std::string(UID_GeneralECGWaveformStorage) + " " + UID_EncapsulatedPDFStorage);
    for (DcmDataset* ds : {&w, &r}) {
        EXPECT_EQ(Str(*ds, DCM_PatientName) + " " + Str(*ds, DCM_PatientID) + " " + Str(*ds, DCM_PatientSex) + " "
                  + Str(*ds, DCM_PatientAge) + " " + Str(*ds, DCM_AcquisitionDateTime), "Zhang Wei^ 00004711 M 057Y 20090307140500");
        EXPECT_EQ(Str(*ds, DCM_StudyInstanceUID), Str(w, DCM_StudyInstanceUID));
        EXPECT_EQ(Str(*ds, DCM_StudyInstanceUID).rfind(std::string(kRoot) + ".", 0), 0u);
    }
    EXPECT_NE(Str(w, DCM_SeriesInstanceUID), Str(r, DCM_SeriesInstanceUID));

    DcmItem* group = Item(w, DCM_WaveformSequence);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(Str(*group, DCM_NumberOfWaveformChannels) + " " + Str(*group, DCM_NumberOfWaveformSamples),
              "12 " + std::to_string(packets.size()));
    EXPECT_EQ(Str(*group, DCM_SamplingFrequency), "800");
    const int codes[kLeadCount] = {1, 2, 61, 62, 63, 64, 3, 4, 5, 6, 7, 8};  // after "5.6.3-9-"
    for (int lead = 0; lead < kLeadCount; ++lead) {
        SCOPED_TRACE(kLeadNames[lead]);
        DcmItem* ch = Item(*group, DCM_ChannelDefinitionSequence, lead);
        ASSERT_NE(ch, nullptr);
        DcmItem& source = *Item(*ch, DCM_ChannelSourceSequence);
        EXPECT_EQ(Str(source, DCM_CodeValue) + " " + Str(source, DCM_CodingSchemeDesignator),
                  "5.6.3-9-" + std::to_string(codes[lead]) + " SCPECG");
        const std::string scale = lead == kLeadV1 ? "25 -4800 OK" : lead == kLeadV6 ? "  UNCALIBRATED" : "12.5 -2400 OK";
        EXPECT_EQ(Str(*ch, DCM_ChannelSensitivity) + " " + Str(*ch, DCM_ChannelBaseline) + " "
                  + Str(*ch, DCM_ChannelStatus), scale);
        if (lead != kLeadV6) {
            EXPECT_EQ(Str(*Item(*ch, DCM_ChannelSensitivityUnitsSequence), DCM_CodeValue), "uV");
        }
        EXPECT_EQ(Str(*ch, DCM_FilterHighFrequency), "35");  // filter code 1, as screen and paper name it
    }
    const Uint16* data = nullptr;
    unsigned long count = 0;
    ASSERT_TRUE(group->findAndGetUint16Array(DCM_WaveformData, data, &count).good());
    ASSERT_EQ(count, packets.size() * kLeadCount);
    size_t mismatches = 0;
    for (size_t k = 0; k < packets.size(); ++k) {
        const PacketFields f = ExtractFields(packets[k].data());
        for (int c = 0; c < kLeadCount; ++c)
            mismatches += int16_t(data[k * kLeadCount + c]) != (c == f.leadIndex ? f.sample : kWaveformPadding);
    }
    EXPECT_EQ(mismatches, 0u);

    for (const char* file : {"w.dcm", "r.dcm"}) {
        if (QStandardPaths::findExecutable("dciodvfy").isEmpty())
            break;  // Debian's dicom3tools
        QProcess check;
        check.start("dciodvfy", {Out(file)});
        ASSERT_TRUE(check.waitForFinished(60000));
        const QString said = QString::fromUtf8(check.readAllStandardError() + check.readAllStandardOutput());
        EXPECT_FALSE(said.contains("Error")) << file << ":\n" << said.toStdString();
        EXPECT_TRUE(said.contains(file[0] == 'w' ? "GeneralECG" : "EncapsulatedPDF")) << said.toStdString();
    }

    StoreScp scp({}, dir.Path() / "in");
    WriteSettings(scp.Port(), 10);
    QString out;
    ASSERT_EQ(Export({"--send", RecordPath()}, &out, &err), 0) << out.toStdString() << err.toStdString();
    EXPECT_EQ(out.count("sent to the PACS"), 2) << out.toStdString();
    std::map<std::string, fs::path> received = ReceivedByUid(dir.Path() / "in");
    ASSERT_EQ(received.size(), 2u);
    for (DcmDataset* made : {&w, &r}) {
        const std::string uid = Str(*made, DCM_SOPInstanceUID);
        ASSERT_TRUE(received.count(uid));
        ExpectSameElements(*made, *Load(received[uid])->getDataset(), true);
    }
    // The report sent tells what the one made tells, of the record's patient.
    SavePdf(r, dir.Path() / "made.pdf");
    SavePdf(*Load(received[Str(r, DCM_SOPInstanceUID)])->getDataset(), dir.Path() / "sent.pdf");
    EXPECT_TRUE(PdfText(Out("made.pdf")).contains("Name: Zhang Wei"));
    EXPECT_EQ(PdfText(Out("made.pdf")), PdfText(Out("sent.pdf")));
}

TEST_F(DicomExportTest, BadSettingsOrInputOrAFailingPacsGiveAFailureForEveryObject)
{
    const fs::path ini = dir.Path() / "bad.ini";
    std::ofstream(ini) << "[Dicom]\nUidRoot=1.02.3\n[Pacs]\nHost=pacs\nPort=70000\nCalledAETitle=A_TITLE_LONGER_THAN_16\n";
    const DicomSettings bad = ReadDicomSettings(ini);
    EXPECT_TRUE(bad.uidRoot.empty());
    EXPECT_FALSE(bad.pacs);
    EXPECT_EQ(bad.problems.size(), 4u);  // root, port, called AE title, root needed for the PACS
    std::ofstream(ini) << "[Dicom]\nUidRoot=1.2.3\n[Pacs]\nHost=pacs\nPort=104\nCalledAETitle=SIXTEEN_CHARS_AE\n";
    const DicomSettings good = ReadDicomSettings(ini);
    ASSERT_TRUE(good.pacs) << good.problems.front();
    EXPECT_EQ(good.pacs->callingAeTitle, "CORVIDA");
    EXPECT_EQ(good.pacs->timeoutSeconds, 30);
    std::ofstream(ini) << "[Dicom]\nUidRoot=1.2.3x\n";
    EXPECT_TRUE(ReadDicomSettings(ini).uidRoot.empty());
    EXPECT_FALSE(ReadDicomSettings(ini).pacs);  // no host: sending is not offered
    std::ofstream(ini) << "[Dicom]\nUidRoot=1.02.3\n";

    const QString rec = RecordPath();
    const QStringList cases[] = {
        {"--settings", "bad.ini", "--dicom", "x.dcm", rec},  // no UID root
        {"--settings", "bad.ini", "--send", rec},
        {"--dicom", "x.dcm", rec, rec},
        {"--dicom", "x.dcm", "--send", rec},
        {"--dicom", "x.dcm", "Data/1/none.cv"},
        {"--patient-id", "4711", "--dicom", "x.dcm", rec},
        {"--dicom", "x.dcm"},
        {"--dicom", rec, rec},                        // would overwrite the record
        {"--report-dicom", "x.cv", "--dicom", "x.dcm", rec},
        {"--dicom", "link.dcm", rec},                 // the record by another name
    };
    fs::create_symlink(fs::absolute(dir.Path() / rec.toStdString()), dir.Path() / "link.dcm");
    const std::string recordBytes = ReadBytes(record);
    for (const QStringList& args : cases) {
        QString err;
        EXPECT_EQ(RunProgram(kTool, QStringList{"--settings", "S.ini"} + args, nullptr, &err), 2)
            << args.join(' ').toStdString();
        EXPECT_TRUE(err.contains("corvida-export:")) << err.toStdString();
        EXPECT_FALSE(fs::exists(dir.Path() / "x.dcm"));
    }
    EXPECT_FALSE(fs::exists(dir.Path() / "x.cv"));
    EXPECT_EQ(ReadBytes(record), recordBytes);

    // A patient without a clinical number is refused here, before any connection.
    ASSERT_TRUE(AppDatabase::Instance().Open("Corvida.mdb"));
    const int32_t nameless = AddPatient("Li", "00000000", 1, QDateTime(QDate(2009, 3, 8), QTime(9, 0)));
    AppDatabase::Instance().Close();
    const fs::path other = dir.Path() / "Data" / std::to_string(nameless) / "m200903080900.cv";
    fs::create_directories(other.parent_path());
    fs::copy_file(record, other);
    struct Case { const char* what; QStringList scp; bool removeFolder; int timeout; const char* says; QString rec; };
    const Case pacs[] = {
        {"down", {}, false, 5, "the PACS cannot be reached", rec},
        {"refuses the association", {"--refuse"}, false, 5, "the PACS refused the connection", rec},
        {"cannot store", {}, true, 5, "rejected by the PACS (0xA700", rec},
        {"breaks off", {"--abort-during"}, false, 5, "the connection to the PACS was lost", rec},
        {"answers too late", {"--sleep-during", "4"}, false, 1, "the connection to the PACS was lost", rec},
        {"no clinical number", {}, false, 5, "the patient has no clinical number",
         QString::fromStdString(fs::relative(other, dir.Path()).string())},
    };
    for (const Case& c : pacs) {
        SCOPED_TRACE(c.what);
        const fs::path folder = dir.Path() / "in" / c.what;
        std::optional<StoreScp> scp;
        if (std::string(c.what) != "down")
            scp.emplace(c.scp, folder);
        WriteSettings(scp ? scp->Port() : FreePort(), c.timeout);
        if (c.removeFolder)
            fs::remove_all(folder);
        QString out;
        EXPECT_EQ(Export({"--send", c.rec}, &out), 1);
        EXPECT_EQ(out.count(c.says), 2) << out.toStdString();
        EXPECT_FALSE(out.contains("sent to the PACS")) << out.toStdString();
    }
}
