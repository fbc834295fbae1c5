// The print job headless: the question, the patient and record checks, PDF output through the
// printer set-up, the AbortBox with Cancel, and the owner window disabled while pages are made.
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "report/AbortBox.h"
#include "report/PrintJob.h"
#include "tests/report/ReportFixture.h"

namespace {

AbortBox* VisibleAbortBox()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<AbortBox*>(w); box && box->isVisible())
            return box;
    return nullptr;
}

// Watches the job from inside its event processing: what the owner and the box look like on
// each page, and optionally presses Cancel once the box shows a given page.
struct JobWatcher {
    explicit JobWatcher(QWidget* owner, int cancelOnPage = 0)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, owner, cancelOnPage] {
            AbortBox* box = VisibleAbortBox();
            if (!box)
                return;
            boxTexts << box->text->text();
            boxTitle = box->windowTitle();
            ownerEnabledWhilePrinting = ownerEnabledWhilePrinting || owner->isEnabled();
            if (cancelOnPage > 0 && box->text->text().endsWith(QString("  %1.").arg(cancelOnPage)))
                box->cancelButton->click();
        });
        timer.start(0);
    }
    QTimer timer;
    QStringList boxTexts;
    QString boxTitle;
    bool ownerEnabledWhilePrinting = false;
};

}  // namespace

class PrintJobTest : public ReportTest {};

TEST_F(PrintJobTest, YesPrintsTheRecordToPdfWithTheOwnerDisabled)
{
    QWidget owner;
    prompt.pdfPath = Out("report.pdf");
    JobWatcher watch(&owner);
    PrintRecord(app.context, &owner, RecordPath(), 1);
    EXPECT_EQ(prompt.Texts(), QStringList{"Do You Want To Print Data?"});
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_EQ(VisibleAbortBox(), nullptr);
    EXPECT_FALSE(watch.ownerEnabledWhilePrinting);
    EXPECT_EQ(watch.boxTitle, "Corvida Printing ...");
    EXPECT_TRUE(watch.boxTexts.contains("Printing page  1."));
    EXPECT_TRUE(watch.boxTexts.contains("Printing page  3."));
    EXPECT_FALSE(watch.boxTexts.contains("Printing page  4."));  // the summary page is not counted

    // Twelve leads at 25 mm/s: three strip pages and the summary page.
    const QString pdf = Out("report.pdf");
    ASSERT_EQ(PdfPages(pdf), 4);
    const QString first = PdfText(pdf, 1);
    EXPECT_TRUE(first.contains("2009-03-07 14:05"));  // from the record's name
    EXPECT_TRUE(first.contains("Name: Zhang Wei"));
    EXPECT_TRUE(first.contains("Clinical NO.: 00004711"));
    EXPECT_TRUE(first.contains("Blood : O"));
    EXPECT_TRUE(first.contains("Date : 2009-03-07 14:05:09"));
    EXPECT_TRUE(first.contains("Other : chest pain since morning"));
    EXPECT_TRUE(first.contains("25mm/s"));
    EXPECT_TRUE(first.contains("Page 1"));
    const QString second = PdfText(pdf, 2);
    EXPECT_TRUE(second.contains("2009-03-07 14:05"));
    EXPECT_FALSE(second.contains("Age: 57"));  // header block on the first and last page only
    const QString summary = PdfText(pdf, 4);
    EXPECT_TRUE(summary.contains("Name: Zhang Wei"));
    EXPECT_TRUE(summary.contains("<< **Diagnose** >>"));
    EXPECT_TRUE(summary.contains("in gear Sinus mode Target rate"));
    EXPECT_TRUE(summary.contains("<<**Report need physician confirm**>>"));
    EXPECT_TRUE(summary.contains("Page 4"));
    EXPECT_TRUE(summary.contains("QT/QTc"));

    // The same in Chinese, as searchable text; and every page names its patient and record.
    app.language.Load("中文");
    prompt.pdfPath = Out("zh.pdf");
    PrintRecord(app.context, &owner, RecordPath(), 1);
    app.language.Load("English");
    const QString zh = PdfText(Out("zh.pdf"), 1);
    for (const char* text : {"Corvida 心电图报告", "门诊号: 00004711", "姓名: Zhang Wei", "年龄: 57",
                             "身高 : 172", "体重 : 70", "血型 : O", "性别: 男", "日期 : 2009-03-07 14:05:09"})
        EXPECT_TRUE(zh.contains(text)) << text;
    const QString zhSummary = PdfText(Out("zh.pdf"), 4);
    for (const char* text : {"<< **诊断** >>", "正常窦性心律", "<<**报告需经医师确认**>>"})
        EXPECT_TRUE(zhSummary.contains(text)) << text;
    for (int page = 1; page <= 4; ++page) {
        SCOPED_TRACE(page);
        const QString en = PdfText(pdf, page).simplified();
        EXPECT_TRUE(en.contains("Name: Zhang Wei Clinical NO.: 00004711"));
        EXPECT_TRUE(en.startsWith("2009-03-07 14:05"));  // the record's date line
        EXPECT_TRUE(PdfText(Out("zh.pdf"), page).simplified().contains("姓名: Zhang Wei 门诊号: 00004711"));
    }
}

TEST_F(PrintJobTest, PatientAndRecordProblemsAreNamed)
{
    fs::create_directories(dir.Path() / "Data" / "99");
    fs::copy_file(record, dir.Path() / "Data" / "99" / "m200903071405.cv");
    WritePackets(dir.Path() / "Data" / "1" / "short.cv", std::vector<DevicePacket>(100, MakePacket(0, 192)));
    struct Case { QString path; QString patient; const char* caption; const char* text; PrintOutcome outcome; };
    const Case cases[] = {
        {"Data/99/m200903071405.cv", "99", "PatientInfo", "The Patient is not exist!", PrintOutcome::PatientError},
        {"", "", "PatientInfo", "File Path Is NULL", PrintOutcome::PatientError},
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
}

TEST_F(PrintJobTest, HeaderNamesTheRecordsOwnPatient)
{
    // Another patient stored last (the history list's last choice, say): the record's folder
    // decides, and the print job is handed no other patient.
    PatientRecord other;
    other.Name = "Other Person";
    ASSERT_TRUE(StorePatient(other).Stored());
    prompt.pdfPath = Out("own.pdf");
    PrintRecord(app.context, nullptr, RecordPath(), 1);
    const QString text = PdfText(Out("own.pdf"), 1);
    EXPECT_TRUE(text.contains("Zhang Wei"));
    EXPECT_FALSE(text.contains("Other Person"));

    struct Case { const char* path; const char* id; };
    const Case cases[] = {{"Data/12/m200903071405.cv", "12"}, {"Data\\12\\x.cv", "12"},
                          {"Data/Demo/NormalSinus72.cv", ""}, {"m200903071405.cv", ""},
                          {"Data/1x/m.cv", ""}, {"/abs/Data/7/m.cv", "7"}};
    for (const Case& c : cases)
        EXPECT_EQ(PatientIdForRecord(c.path), QString(c.id)) << c.path;

    // A demo record belongs to no patient: it prints with a blank header.
    fs::create_directories(dir.Path() / "Data" / "Demo");
    fs::copy_file(record, dir.Path() / "Data" / "Demo" / "NormalSinus72.cv");
    prompt.Clear();
    prompt.pdfPath = Out("demo.pdf");
    PrintRecord(app.context, nullptr, "Data/Demo/NormalSinus72.cv", 2);
    EXPECT_EQ(prompt.Texts(), QStringList{"Do You Want To Print Data?"});
    EXPECT_EQ(PdfPages(Out("demo.pdf")), 7);  // 50 mm/s: two strips a lead
    const QString demo = PdfText(Out("demo.pdf"), 1);
    EXPECT_TRUE(demo.contains("Name:"));
    EXPECT_FALSE(demo.contains("Zhang Wei"));
    EXPECT_TRUE(demo.contains("50mm/s"));
}

TEST_F(PrintJobTest, PaperTooSmallStillPrintsTheSummary)
{
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
}

TEST_F(PrintJobTest, FullDiskIsAPrinterErrorAndKeepsWhatWasThere)
{
    const std::filesystem::path full = std::filesystem::path(Out("full").toStdString());
    std::filesystem::create_directories(full);
    if (std::system(("mount -t tmpfs -o size=64k tmpfs '" + full.string() + "'").c_str()) != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    std::ofstream(full / "r.pdf") << "earlier";
    prompt.pdfPath = Out("full/r.pdf");
    QWidget owner;
    const PrintOutcome outcome =
        PrintRecordReport(app.context, &owner, RecordPath(), QString::number(patientId), 1);
    std::string kept;
    std::getline(std::ifstream(full / "r.pdf"), kept);
    const auto files = std::distance(std::filesystem::directory_iterator(full), std::filesystem::directory_iterator());
    std::system(("umount '" + full.string() + "'").c_str());
    EXPECT_EQ(outcome, PrintOutcome::PrinterError);
    EXPECT_EQ(prompt.Texts(), QStringList{app.context.Translate("Printer Error! Failed to print !")});
    EXPECT_EQ(kept, "earlier");
    EXPECT_EQ(files, 1);
}

TEST_F(PrintJobTest, UnwritableOutputIsAPrinterError)
{
    prompt.pdfPath = Out("no-such-folder/report.pdf");
    QWidget owner;
    EXPECT_EQ(PrintRecordReport(app.context, &owner, RecordPath(), QString::number(patientId), 1),
              PrintOutcome::PrinterError);
    EXPECT_EQ(prompt.Texts(), QStringList{app.context.Translate("Printer Error! Failed to print !")});
    EXPECT_EQ(prompt.shown.at(0).caption, "Error");
    EXPECT_TRUE(owner.isEnabled());
}
