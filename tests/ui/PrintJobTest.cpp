// The print job headless: the question, the patient and record checks, PDF output through the
// printer set-up, and the owner window enabled again whatever the outcome.
#include <QPrinter>
#include <QWidget>

#include "ui/PrintJob.h"
#include "tests/report/ReportFixture.h"

class PrintJobTest : public ReportTest {};

TEST_F(PrintJobTest, ProblemsAreNamedTheHeaderNamesTheRecordsOwnPatientAndAFullDiskKeepsWhatWasThere)
{
    fs::create_directories(dir.Path() / "Data" / "99");
    fs::copy_file(record, dir.Path() / "Data" / "99" / "m200903071405.cv");
    WritePackets(dir.Path() / "Data" / "1" / "short.cv", std::vector<DevicePacket>(100, MakePacket(0, 192)));
    struct Case { QString path; QString patient; const char* caption; const char* text; PrintOutcome outcome; };
    const Case cases[] = {
        {"Data/99/m200903071405.cv", "99", "Patient Information", "The Patient is not exist!", PrintOutcome::PatientError},
        {"", "", "Patient Information", "File Path Is NULL", PrintOutcome::PatientError},
        {"Data/1/missing.cv", "", "Corvida", "file error", PrintOutcome::RecordError},
        {"Data/1/short.cv", "", "Corvida", "No data!", PrintOutcome::RecordError},
    };
    for (const Case& c : cases) {
        prompt.Clear();
        prompt.pdfPath = Out("never.pdf");
        QWidget owner;
        EXPECT_EQ(PrintRecordReport(app.context, &owner, c.path, c.patient, 1), c.outcome) << c.text;
        ASSERT_EQ(prompt.shown.size(), 1u) << c.text;
        EXPECT_EQ(prompt.shown[0].caption, c.caption);
        EXPECT_EQ(prompt.shown[0].text, app.context.Translate(c.text));
        EXPECT_FALSE(fs::exists(dir.Path() / "never.pdf"));
    }
    // A query the database refuses.
    AppDatabase::Instance().Close();
    prompt.Clear();
    EXPECT_EQ(PrintRecordReport(app.context, nullptr, RecordPath(), QString::number(patientId), 1),
              PrintOutcome::PatientError);
    EXPECT_EQ(prompt.Texts(), QStringList{app.context.Translate("Search Record Error")});

    // The printer dialog cancelled: nothing shown, nothing made.
    ASSERT_TRUE(AppDatabase::Instance().Open("Corvida.mdb"));
    prompt.Clear();
    prompt.pdfPath.clear();
    EXPECT_EQ(PrintRecordReport(app.context, nullptr, RecordPath(), QString::number(patientId), 1),
              PrintOutcome::DialogCanceled);
    EXPECT_TRUE(prompt.shown.empty());

    // Another patient stored last (the history list's last choice, say): the record's folder
    // decides, and the print job is handed no other patient.
    AddPatient("Other Person", "", 0, QDateTime::currentDateTime());
    prompt.pdfPath = Out("own.pdf");
    PrintRecord(app.context, nullptr, RecordPath(), 1);
    const QString text = PdfText(Out("own.pdf"), 1);
    EXPECT_TRUE(text.contains("Zhang Wei"));
    EXPECT_FALSE(text.contains("Other Person"));

    const std::pair<const char*, const char*> owners[] = {{"Data/12/m200903071405.cv", "12"}, {"Data\\12\\x.cv", "12"},
        {"Data/Demo/NormalSinus72.cv", ""}, {"m200903071405.cv", ""}, {"Data/1x/m.cv", ""}, {"/abs/Data/7/m.cv", "7"}};
    for (const auto& [path, id] : owners)
        EXPECT_EQ(PatientIdForRecord(path), QString(id)) << path;
    // A demo record belongs to no patient: it prints with a blank header.
    fs::create_directories(dir.Path() / "Data" / "Demo");
    fs::copy_file(record, dir.Path() / "Data" / "Demo" / "NormalSinus72.cv");
    prompt.pdfPath = Out("demo.pdf");
    PrintRecord(app.context, nullptr, "Data/Demo/NormalSinus72.cv", 1);
    const QString demo = PdfText(Out("demo.pdf"), 1);
    EXPECT_TRUE(demo.contains("Name:") && !demo.contains("Zhang Wei") && !demo.contains("Other Person"));

    // Paper too small still prints the summary; a full disk keeps what was there.
    prompt.Clear();
    ReportRecord r = ReadReportRecord(RecordPath(), 1, app.language);
    ASSERT_EQ(r.outcome, RecordReadOutcome::Read);
    ReportLayout layout(std::move(r.content), BuildReportHeader(nullptr, {}, app.language),
                        std::move(r.summary), app.language);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(Out("a5.pdf"));
    printer.setPageSize(QPageSize(QPageSize::A5));
    QWidget owner;
    EXPECT_EQ(RunPrintJob(app.context, &owner, printer, layout), PrintOutcome::Printed);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].caption, "Printing Error");
    EXPECT_EQ(prompt.shown[0].text, app.context.Translate("Paper too small, printing aborted!"));
    EXPECT_EQ(layout.Dpi(), 600);  // PDF output is laid out at the report's 600 dpi
    EXPECT_EQ(PdfPages(Out("a5.pdf")), 1);
    EXPECT_TRUE(PdfText(Out("a5.pdf")).contains("Page 1"));
    EXPECT_TRUE(owner.isEnabled());

    // A full disk keeps the earlier file as it was; an output folder that is not there fails alike.
    const auto print = [&](const QString& pdf) {
        prompt.Clear();
        prompt.pdfPath = pdf;
        QWidget owner;
        EXPECT_EQ(PrintRecordReport(app.context, &owner, RecordPath(), QString::number(patientId), 1),
                  PrintOutcome::PrinterError);
        EXPECT_EQ(prompt.Texts(), QStringList{app.context.Translate("Printer Error! Failed to print !")});
        EXPECT_EQ(prompt.shown.at(0).caption, "Error");
        EXPECT_TRUE(owner.isEnabled());
    };
    print(Out("no-such-folder/report.pdf"));
    const auto kept = OnFullDisk(print);
    if (!kept)
        GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    EXPECT_EQ(*kept, std::vector<std::string>{"r.pdf: earlier"});
}
