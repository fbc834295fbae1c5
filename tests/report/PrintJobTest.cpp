// The print job headless: the patient and record checks with the message each is told with, PDF
// output that names the record's own patient, Cancel, and a full disk keeping what was there.
#include <QPrinter>

#include "report/PrintJob.h"
#include "report/ReportRecord.h"
#include "tests/report/ReportFixture.h"

namespace {

class PrintJobTest : public ReportTest {
protected:
    // The job as the window runs it, to a PDF: the first outcome that is not Ready (a paper too
    // small is noted and printed all the same); goOn as the abort box answers.
    PrintOutcome Print(const QString& path, const QString& pdf, QPageSize paper = QPageSize(QPageSize::A4),
                       const std::function<bool(int, bool)>& goOn = {})
    {
        PrintJob job(app.language);
        if (PrintOutcome prepared = job.Prepare(path, 1); prepared != PrintOutcome::Ready)
            return prepared;
        QPrinter printer(QPrinter::HighResolution);
        PrintJob::SetUpPrinter(printer);
        printer.setOutputFileName(pdf);  // PDF output
        printer.setPageSize(paper);
        const PrintOutcome outcome = job.LayOut(printer);
        paperTooSmall = outcome == PrintOutcome::PaperTooSmall;
        dpi = printer.resolution();
        return paperTooSmall || outcome == PrintOutcome::Ready ? job.Print(printer, goOn) : outcome;
    }
    // The message an outcome is told with, as "caption: text".
    static QString Told(PrintOutcome o) { return QString(PrintMessageFor(o).caption) + ": " + PrintMessageFor(o).text; }
    bool paperTooSmall = false;
    int dpi = 0;
};

}  // namespace

TEST_F(PrintJobTest, ProblemsAreNamedTheHeaderNamesTheRecordsOwnPatientAndAFullDiskKeepsWhatWasThere)
{
    const QString own = "Data/" + QString::number(patientId) + "/";
    fs::create_directories(dir.Path() / "Data" / "99");
    fs::copy_file(record, dir.Path() / "Data" / "99" / "m200903071405.cv");
    WritePackets((own + "short.cv").toStdString(), std::vector<DevicePacket>(100, MakePacket(0, 192)));
    const struct { QString path; PrintOutcome outcome; const char* told; } cases[] = {
        {"Data/99/m200903071405.cv", PrintOutcome::NoSuchPatient, "PatientInfo: The Patient is not exist!"},
        {"", PrintOutcome::NoPath, "PatientInfo: File Path Is NULL"},
        {own + "missing.cv", PrintOutcome::RecordUnreadable, "Corvida: file error"},
        {own + "short.cv", PrintOutcome::RecordTooShort, "Corvida: No data!"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Print(c.path, Out("never.pdf")), c.outcome) << c.told;
        EXPECT_EQ(Told(c.outcome), c.told);
        EXPECT_FALSE(fs::exists(dir.Path() / "never.pdf"));
    }
    // A query the database refuses.
    AppDatabase::Instance().Close();
    EXPECT_EQ(Print(RecordPath(), Out("never.pdf")), PrintOutcome::SearchFailed);
    EXPECT_EQ(Told(PrintOutcome::SearchFailed), "PatientInfo: Search Record Error");
    ASSERT_TRUE(AppDatabase::Instance().Open("Corvida.mdb"));

    // Another patient stored last (the history list's last choice, say): the record's folder
    // decides.
    const int32_t other = AddPatient("Other Person", "", 0, QDateTime::currentDateTime());
    EXPECT_EQ(Print(RecordPath(), Out("own.pdf")), PrintOutcome::Printed);
    const QString text = PdfText(Out("own.pdf"), 1);
    EXPECT_TRUE(text.contains("Zhang Wei"));
    EXPECT_FALSE(text.contains("Other Person"));
    // Its ID handed on to a new patient since its record was made: the record is not printed
    // under the new one, and its folder is set aside.
    const fs::path otherRecord = dir.Path() / "Data" / std::to_string(other) / "m200903071405.cv";
    fs::copy_file(record, otherRecord);
    Exec(QString("Update Patient Set NewDate = '2010-01-01 00:00:00' Where PatientID = %1").arg(other));
    EXPECT_EQ(Print(QString::fromStdString(fs::relative(otherRecord, dir.Path()).string()), Out("other.pdf")),
              PrintOutcome::OtherPatient);
    EXPECT_EQ(Told(PrintOutcome::OtherPatient), "PatientInfo: Records of another patient");
    EXPECT_FALSE(fs::exists(otherRecord));

    const std::pair<const char*, const char*> owners[] = {{"Data/12/m200903071405.cv", "12"}, {"Data/5/x\\1\\m202601010000.cv", "5"},
        {"Data/Demo/NormalSinus72.cv", ""}, {"m200903071405.cv", ""}, {"Data/1x/m.cv", ""}, {"/abs/Data/7/m.cv", "7"}};
    for (const auto& [path, id] : owners)
        EXPECT_EQ(PatientIdForRecord(path), QString(id)) << path;
    // A demo record belongs to no patient: it prints with a blank header.
    fs::create_directories(dir.Path() / "Data" / "Demo");
    fs::copy_file(record, dir.Path() / "Data" / "Demo" / "NormalSinus72.cv");
    EXPECT_EQ(Print("Data/Demo/NormalSinus72.cv", Out("demo.pdf")), PrintOutcome::Printed);
    const QString demo = PdfText(Out("demo.pdf"), 1);
    EXPECT_TRUE(demo.contains("Name:") && !demo.contains("Zhang Wei") && !demo.contains("Other Person"));

    // Paper too small still prints the summary, laid out at the report's 600 dpi.
    EXPECT_EQ(Print(RecordPath(), Out("a5.pdf"), QPageSize(QPageSize::A5)), PrintOutcome::Printed);
    EXPECT_TRUE(paperTooSmall);
    EXPECT_EQ(Told(PrintOutcome::PaperTooSmall), "Printing Error: Paper too small, printing aborted!");
    EXPECT_EQ(PdfPages(Out("a5.pdf")), 1);
    EXPECT_TRUE(PdfText(Out("a5.pdf")).contains("Page 1"));
    EXPECT_EQ(dpi, 600);

    // Cancel at the second page: nothing is written, and no page after it was asked for.
    std::vector<std::pair<int, bool>> asked;
    const auto cancelAt2 = [&](int page, bool summary) { asked.emplace_back(page, summary); return page < 2; };
    EXPECT_EQ(Print(RecordPath(), Out("canceled.pdf"), QPageSize(QPageSize::A4), cancelAt2), PrintOutcome::Canceled);
    EXPECT_EQ(asked, (std::vector<std::pair<int, bool>>{{1, false}, {2, false}}));
    EXPECT_FALSE(fs::exists(dir.Path() / "canceled.pdf"));
    EXPECT_EQ(Told(PrintOutcome::Canceled), "Print: Printing canceled ! ");

    // A full disk keeps the earlier file as it was; an output folder that is not there fails alike.
    const auto print = [&](const QString& pdf) { EXPECT_EQ(Print(RecordPath(), pdf), PrintOutcome::PrinterError); };
    EXPECT_EQ(Told(PrintOutcome::PrinterError), "Error: Printer Error! Failed to print !");
    print(Out("no-such-folder/report.pdf"));
    const auto kept = OnFullDisk(print);
    if (!kept)
        GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    EXPECT_EQ(*kept, std::vector<std::string>{"r.pdf: earlier"});
}
