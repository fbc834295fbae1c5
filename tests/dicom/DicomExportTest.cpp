// corvida-export end to end: the objects read back with DCMTK sample by sample and checked with
// dciodvfy, whatever the patient's name; a PACS that is down, refuses or rejects gives a failure
// for every object, never a success, and one that stores with a warning a success.
#include "dcmtk/dcmnet/scp.h"

#include "db/ReadingStore.h"
#include <atomic>
#include <set>
#include <thread>

#include "dicom/DicomExport.h"
#include "history/DicomPatientRow.h"
#include "record/RecordFile.h"
#include "tests/dicom/DicomFixture.h"
#include "tests/support/ShippedLanguage.h"
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

// Made, read back as a reader reads them, checked by dciodvfy; in Chinese the same study.
TEST_F(DicomExportTest, WaveformAndReportHoldTheRecordAndPassDciodvfyInEveryLanguage)
{
    // V1 at 5 mm/mV and V6 at the gain code without a scale, to see the sensitivity follow.
    std::vector<DevicePacket> packets = *ReadRecordPackets(record);
    for (DevicePacket& p : packets) {
        const uint8_t lead = p[0] & 15;
        if (lead == kLeadV1 || lead == kLeadV6)
            p[1] = static_cast<uint8_t>((p[1] & 0xF0) | (lead == kLeadV1 ? 0 : 3));
    }
    WritePackets(record, packets);
    ASSERT_EQ(Export({"--dicom", "w.dcm", "--report-dicom", "r.dcm", RecordPath()}), 0);
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
        const std::string scale = lead == kLeadV1 ? "25 0 OK" : lead == kLeadV6 ? "  UNCALIBRATED" : "12.5 0 OK";
        EXPECT_EQ(Str(*ch, DCM_ChannelSensitivity) + " " + Str(*ch, DCM_ChannelBaseline) + " "
                  + Str(*ch, DCM_ChannelStatus), scale);
        EXPECT_EQ(lead == kLeadV6 ? "uV" : Str(*Item(*ch, DCM_ChannelSensitivityUnitsSequence), DCM_CodeValue), "uV");
        EXPECT_EQ(Str(*ch, DCM_FilterHighFrequency), "35");  // filter code 1, as screen and paper name it
    }
    // With baseline 0 and the gain's sensitivity, a reader's (sample + baseline) x sensitivity
    // is the record's microvolts exactly when each sample is stored less the zero line 192; the
    // times of the other leads hold the padding value.
    const Uint16* data = nullptr;
    unsigned long count = 0;
    ASSERT_TRUE(group->findAndGetUint16Array(DCM_WaveformData, data, &count).good());
    ASSERT_EQ(count, packets.size() * kLeadCount);
    size_t mismatches = 0;
    for (size_t k = 0; k < packets.size(); ++k) {
        const PacketFields f = ExtractFields(packets[k].data());
        for (int c = 0; c < kLeadCount; ++c)
            mismatches += int16_t(data[k * kLeadCount + c]) != (c == f.leadIndex ? f.sample - 192 : -32768);
    }
    EXPECT_EQ(mismatches, 0u);

    // The analysis: every annotation in the machine group, marked unconfirmed first, the
    // numbers coded with the digits the text shows, the conclusion closing with its request for
    // a physician.
    std::vector<std::string> texts;
    std::map<std::string, std::string> coded;
    for (int i = 0; DcmItem* a = Item(w, DCM_WaveformAnnotationSequence, i); ++i) {
        Uint16 g = 0;
        a->findAndGetUint16(DCM_AnnotationGroupNumber, g);
        EXPECT_EQ(g, kMachineAnnotationGroup);
        if (DcmItem* name = Item(*a, DCM_ConceptNameCodeSequence))
            coded[Str(*name, DCM_CodeValue)] = Str(*a, DCM_NumericValue);
        else
            texts.push_back(Str(*a, DCM_UnformattedTextValue));
    }
    ASSERT_GT(texts.size(), 11u);
    EXPECT_EQ(texts.front(), "Unconfirmed machine interpretation");
    EXPECT_EQ(texts[1], "HR [bpm]: " + coded["2:16016"]);
    EXPECT_EQ(texts[7], "P/QRS/T [deg]: " + coded["2:16128"] + "/" + coded["2:16132"] + "/" + coded["2:16136"]);
    EXPECT_EQ(texts.back(), "<<**Report requires physician confirmation**>>");
    // The same recording in Chinese: the same study and series, another instance.
    ASSERT_EQ(RunProgram(kTool, {"--settings", "S.ini", "--language", "中文", "--dicom", "zh.dcm", RecordPath()}), 0);
    auto zh = Load(dir.Path() / "zh.dcm");
    for (const DcmTagKey& uid : {DCM_StudyInstanceUID, DCM_SeriesInstanceUID, DCM_SOPInstanceUID})
        EXPECT_EQ(Str(*zh->getDataset(), uid) == Str(w, uid), uid != DCM_SOPInstanceUID) << uid;
    for (const char* file : {"w.dcm", "zh.dcm", "r.dcm"})
        EXPECT_EQ(Dciodvfy(dir.Path() / file), file[0] == 'r' ? "EncapsulatedPDF" : "GeneralECG");

    SavePdf(r, dir.Path() / "made.pdf");
    EXPECT_TRUE(PdfText(Out("made.pdf")).contains("Name: Zhang Wei"));
}

// After a confirmation the objects are new instances of the same study and series, carrying
// the reader, the statements and the corrected value; the PDF tells the same.
TEST_F(DicomExportTest, AConfirmedReadingGoesOutAsNewInstancesOfTheSameStudy)
{
    ASSERT_EQ(Export({"--dicom", "w0.dcm", "--report-dicom", "r0.dcm", RecordPath()}), 0);
    ASSERT_TRUE(Reopen());
    const RecordKeyLookup found = FindRecordKey(RecordPath());
    ASSERT_EQ(found.outcome, RecordKeyLookup::Outcome::Found);
    Reading typed;
    typed.statements = {{12, 0}, {126, 124}};
    typed.values[kValueQt] = 412;
    typed.comment = "Compare with \"last\" year's; DROP TABLE Reading;";
    typed.readerLogin = "drwu";
    typed.readerName = "Wu Lan";
    typed.station = "room-2";
    ASSERT_EQ(ConfirmReading(found.key, Reading(), 0, typed, QDateTime(QDate(2026, 3, 7), QTime(9, 5, 41))).outcome,
              ConfirmOutcome::Confirmed);
    db().Close();
    QString err;
    ASSERT_EQ(Export({"--dicom", "w1.dcm", "--report-dicom", "r1.dcm", RecordPath()}, nullptr, &err), 0)
        << err.toStdString();
    const LanguageTable english = ShippedLanguage();
    const std::string confirmed = "Confirmed by Wu Lan (drwu) 2026-03-07 09:05:41";
    for (const char* kind : {"w", "r"}) {
        auto before = Load(dir.Path() / (kind + std::string("0.dcm")));
        auto after = Load(dir.Path() / (kind + std::string("1.dcm")));
        DcmDataset &b = *before->getDataset(), &a = *after->getDataset();
        for (const DcmTagKey& same : {DCM_StudyInstanceUID, DCM_SeriesInstanceUID})
            EXPECT_EQ(Str(a, same), Str(b, same));
        EXPECT_NE(Str(a, DCM_SOPInstanceUID), Str(b, DCM_SOPInstanceUID));
        EXPECT_EQ(Str(b, DCM_InstanceNumber) + Str(a, DCM_InstanceNumber), "12");
    }
    const auto wave = Load(dir.Path() / "w1.dcm");
    DcmDataset& w = *wave->getDataset();
    std::vector<std::string> texts;
    std::string qt;
    for (int i = 0; DcmItem* a = Item(w, DCM_WaveformAnnotationSequence, i); ++i) {
        if (DcmItem* name = Item(*a, DCM_ConceptNameCodeSequence))
            qt = Str(*name, DCM_CodeValue) == "2:16160" ? Str(*a, DCM_NumericValue) : qt;
        else
            texts.push_back(Str(*a, DCM_UnformattedTextValue));
    }
    ASSERT_GT(texts.size(), 12u);
    EXPECT_EQ(texts.front(), confirmed);
    EXPECT_EQ(qt, "412");
    EXPECT_EQ(texts[6].substr(0, 20), "QT/QTc [ms]: 412* / ");
    const std::vector<std::string> tail(texts.end() - 3, texts.end());
    EXPECT_EQ(tail, (std::vector<std::string>{ReadingStatementText({12, 0}, english),
                                              ReadingStatementText({126, 124}, english),
                                              "Comment: " + typed.comment}));
    SavePdf(*Load(dir.Path() / "r1.dcm")->getDataset(), dir.Path() / "r1.pdf");
    const QString pdf = PdfText(Out("r1.pdf"));
    for (const std::string& said : {confirmed, std::string("412*"), tail[1], tail[2]})
        EXPECT_TRUE(pdf.contains(QString::fromStdString(said))) << said << "\n" << pdf.toStdString();
    EXPECT_FALSE(pdf.contains("physician confirm"));
    EXPECT_EQ(Dciodvfy(dir.Path() / "w1.dcm"), "GeneralECG");
}

TEST_F(DicomExportTest, BadSettingsOrInputOrAFailingPacsGiveAFailureForEveryObject)
{
    const fs::path ini = dir.Path() / "bad.ini";
    std::ofstream(ini) << "[Dicom]\nUidRoot=1.2.3\n[Pacs]\nHost=pacs\nPort=70000\nCalledAETitle=A_TITLE_LONGER_THAN_16\n"
                          "CallingAETitle=A\\B\n";
    const DicomSettings bad = ReadDicomSettings(ini);
    EXPECT_FALSE(bad.pacs);
    EXPECT_EQ(bad.problems.size(), 3u);  // port, called and calling AE titles
    std::ofstream(ini) << "[Dicom]\nUidRoot=1.2.3\n[Pacs]\nHost=pacs\nPort=104\nCalledAETitle=SIXTEEN_CHARS_AE\n";
    const DicomSettings good = ReadDicomSettings(ini);
    ASSERT_TRUE(good.pacs) << good.problems.front();
    EXPECT_EQ(good.pacs->callingAeTitle + " " + std::to_string(good.pacs->timeoutSeconds), "CORVIDA 30");
    std::ofstream(ini) << "[Dicom]\nUidRoot=1.2.3x\n";
    EXPECT_TRUE(ReadDicomSettings(ini).uidRoot.empty());
    EXPECT_FALSE(ReadDicomSettings(ini).pacs);  // no host: sending is not offered
    std::ofstream(ini) << "[Dicom]\nUidRoot=1.02.3\n";  // a leading zero: no root, the tool stops

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
    struct Case { const char* what; QStringList scp; int timeout; const char* says; QString rec; };
    const Case pacs[] = {
        {"down", {}, 5, "the PACS cannot be reached", rec},
        {"refuses the association", {"--refuse"}, 5, "the PACS refused the connection", rec},
        {"breaks off", {"--abort-during"}, 5, "the connection to the PACS was lost", rec},
        {"answers too late", {"--sleep-during", "4"}, 1, "the connection to the PACS was lost", rec},
        {"no clinical number", {}, 5, "the patient has no clinical number",
         QString::fromStdString(fs::relative(other, dir.Path()).string())},
    };
    for (const Case& c : pacs) {
        SCOPED_TRACE(c.what);
        const fs::path folder = dir.Path() / "in" / c.what;
        std::optional<StoreScp> scp;
        if (std::string(c.what) != "down")
            scp.emplace(c.scp, folder);
        WriteSettings(scp ? scp->Port() : FreePort(), c.timeout);
        QString out;
        EXPECT_EQ(Export({"--send", c.rec}, &out), 1);
        EXPECT_EQ(out.count(c.says), 2) << out.toStdString();
        EXPECT_FALSE(out.contains("sent to the PACS")) << out.toStdString();
    }
}

// Whatever a name or a clinical number holds, the object is valid and says what was typed as
// nearly as its VR allows; a clinical number that cannot be a Patient ID as it is stops the
// export. Each patient of the same recording has a study of its own.
TEST_F(DicomExportTest, HostileNamesAndNumbersMakeValidObjectsOrAreRefused)
{
    const QString han = QString("张").repeated(30), emoji = QString("😀").repeated(20);
    struct Case { QString name, number; std::string pn, id; };  // no pn: refused
    const Case cases[] = {
        {"O'Brien \"Jr\" a\\b^c=d", "A-1 'x' \"y\"^=", "O'Brien \"Jr\" a b c d^", "A-1 'x' \"y\"^="},
        {"Li\tNa", "病历１２３", "Li Na^", "病历１２３"},
        {QString(200, 'A'), QString(64, '7'), std::string(63, 'A') + "^", std::string(64, '7')},
        {han, "1", han.left(21).toStdString() + "^", "1"},
        {emoji, "2", emoji.left(30).toStdString() + "^", "2"},  // 15 emoji of two UTF-16 units
        {"Wang", "12\\34", "", ""},
        {"Wang", "12\t34", "", ""},
        {"Wang", QString(65, '7'), "", ""},
        {"Wang", QString("张").repeated(22), "", ""},  // 66 bytes
    };
    std::set<std::string> studies;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString() + " / " + c.number.toStdString());
        const PatientRecord row{0, c.name, 57, 0, 0, 0, 0, {}, c.number, {}, 0};
        const RecordObjects made = BuildRecordObjects(record, DicomPatientFromRow(row), app.language, kRoot, true, nullptr);
        if (c.pn.empty()) {
            ASSERT_TRUE(made.objects.empty() && made.failures.size() == 1);
            EXPECT_EQ(DescribeOutcome(made.failures[0], app.language), "ECG waveform m200903071405.cv: not made: the clinical "
                      "number cannot be a DICOM Patient ID (it holds a backslash or a control character, or is over 64 bytes)");
            continue;
        }
        std::string why;
        ASSERT_TRUE(made.objects.size() == 1 && WriteDicomFile(made.objects[0], dir.Path() / "h.dcm", why)) << why;
        const auto file = Load(dir.Path() / "h.dcm");
        DcmDataset& ds = *file->getDataset();
        EXPECT_EQ(Str(ds, DCM_PatientName) + "|" + Str(ds, DCM_PatientID), c.pn + "|" + c.id);
        EXPECT_EQ(Dciodvfy(dir.Path() / "h.dcm"), "GeneralECG");
        studies.insert(Str(ds, DCM_StudyInstanceUID));
    }
    EXPECT_EQ(studies.size(), 5u);
}

// A PACS that stores nothing and answers every C-STORE with `status` and a comment, listening on a
// thread of the test while it lives.
struct StatusScp : DcmSCP {
    StatusScp()
    {
        setPort(port);
        setAETitle("STORESCP");
        setConnectionBlockingMode(DUL_NOBLOCK);
        setConnectionTimeout(1);
        OFList<OFString> syntaxes;
        syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
        for (const char* sopClass : {UID_GeneralECGWaveformStorage, UID_EncapsulatedPDFStorage})
            addPresentationContext(sopClass, syntaxes);
        EXPECT_TRUE(openListenPort().good());
        thread = std::thread([this] { acceptAssociations(); });
    }
    ~StatusScp() override { stop = true; thread.join(); }
    OFBool stopAfterConnectionTimeout() override { return stop; }
    OFCondition handleIncomingCommand(T_DIMSE_Message* message, const DcmPresentationContextInfo& context) override
    {
        T_DIMSE_C_StoreRQ& rq = message->msg.CStoreRQ;
        DcmDataset* received = nullptr;
        DcmDataset detail;
        detail.putAndInsertString(DCM_ErrorComment, "checked");
        const OFCondition c = receiveSTORERequest(rq, context.presentationContextID, received);
        delete received;
        return c.bad() ? c : sendSTOREResponse(context.presentationContextID, rq.MessageID, rq.AffectedSOPClassUID,
                                               rq.AffectedSOPInstanceUID, status, &detail);
    }
    const quint16 port = FreePort();
    std::atomic<Uint16> status{0};
    std::atomic<bool> stop{false};
    std::thread thread;
};

// A PACS that stored an object with a warning has it: "sent", with the warning's words, and the
// tool ends with success; the statuses around the warnings are failures.
TEST_F(DicomExportTest, AWarningIsSentWithItsTextAndTheFailuresAroundItAreNot)
{
    StatusScp scp;
    WriteSettings(scp.port, 5);
    const PacsSettings pacs = *ReadDicomSettings(dir.Path() / "S.ini").pacs;
    DicomPatient zhang;
    zhang.name = "Zhang", zhang.id = "4711";
    const RecordObjects made = BuildRecordObjects(record, zhang, app.language, kRoot, true, nullptr);
    const std::pair<Uint16, const char*> cases[] = {
        {0x0001, "sent to the PACS (0x0001 Warning: Requested optional attributes are not supported: checked)"},
        {0x0107, "sent to the PACS (0x0107 Warning: Attribute list error: checked)"},
        {0x0116, "sent to the PACS (0x0116 Warning: Attribute value out of range: checked)"},
        {0xB000, "sent to the PACS (0xB000 Warning: CoercionOfDataElements: checked)"},
        {0xBFFF, "sent to the PACS (0xBFFF Warning: checked)"},
        {0x0110, "rejected by the PACS (0x0110 Unknown Status: 0x110: checked)"},
        {0xC000, "rejected by the PACS (0xC000 Error: CannotUnderstand: checked)"},
    };
    for (const auto& [status, says] : cases) {
        scp.status = status;
        const ObjectOutcome sent = SendDicomObjects(pacs, made.objects).at(0);
        EXPECT_EQ(DescribeOutcome(sent, app.language), std::string("ECG waveform m200903071405.cv: ") + says);
        EXPECT_EQ(sent.Accepted(), says[0] == 's') << says;
    }
    scp.status = 0xB007;
    QString out;
    EXPECT_EQ(Export({"--send", RecordPath()}, &out), 0);
    EXPECT_EQ(out.count("sent to the PACS (0xB007 Warning: DataSetDoesNotMatchSOPClass: checked)"), 2) << out.toStdString();
}
