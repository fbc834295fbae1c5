// corvida-report end to end: PDF files read back with poppler's tools and rendered to images, in
// English and Chinese, with and without the patient database, and every kind of bad input.
#include <QImage>
#include <QRegularExpression>

#include "tests/report/ReportFixture.h"

namespace {

const QString kTool = CORVIDA_TOOLS_DIR "/corvida-report";

// Share of dark pixels of a PDF page rendered at a low resolution.
double Ink(const QString& pdf, int page)
{
    const QString n = QString::number(page), png = pdf.chopped(4) + "-" + n;
    RunProgram("pdftoppm", {"-r", "40", "-png", "-singlefile", "-f", n, "-l", n, pdf, png});
    const QImage image(png + ".png");
    if (image.isNull())
        return -1;
    long dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    return static_cast<double>(dark) / (image.width() * image.height());
}

}  // namespace

class ReportToolTest : public ReportTest {};

TEST_F(ReportToolTest, WritesTheReportOfARecordInEnglishAndChineseWithThePatientOfTheDatabase)
{
    QString out, err;
    ASSERT_EQ(RunProgram(kTool, {"--language", "English", "--pdf", Out("en.pdf"), RecordPath()}, &out, &err), 0)
        << err.toStdString();
    ASSERT_EQ(PdfPages(Out("en.pdf")), 4);
    const QString page1 = PdfText(Out("en.pdf"), 1);
    EXPECT_TRUE(page1.contains("2009-03-07 14:05") && page1.contains("Name: "));
    EXPECT_FALSE(page1.contains("Zhang Wei"));  // no --patient-id: blank fields
    const QString summary = PdfText(Out("en.pdf"), 4);
    for (const char* text : {"R(V5)+S(V1)", "[bpm]:", "Corvida ECG Report", "Blood type :", "<< **Diagnosis** >>",
                             "Sinus rhythm", "Normal QRS axis"})
        EXPECT_TRUE(summary.contains(text)) << text;
    // The strip pages carry grid and traces; the summary page is mostly blank paper.
    EXPECT_GT(Ink(Out("en.pdf"), 1), 0.10);
    const double text = Ink(Out("en.pdf"), 4);
    EXPECT_TRUE(text > 0 && text < 0.05) << text;

    ASSERT_EQ(RunProgram(kTool, {"--language", "中文", "--speed", "50", "--pdf", Out("zh.pdf"), RecordPath()},
                  &out, &err), 0) << err.toStdString();
    EXPECT_EQ(PdfPages(Out("zh.pdf")), 7);
    QString fonts;
    ASSERT_EQ(RunProgram("pdffonts", {Out("zh.pdf")}, &fonts), 0);
    EXPECT_TRUE(fonts.contains("WenQuanYi")) << fonts.toStdString();  // the glyphs are embedded
    // Searchable as printed: the Chinese comes back as the very code points of the texts.
    const QString zh = PdfText(Out("zh.pdf"), 1);
    for (const char* text : {"Corvida 心电图报告", "门诊号:", "姓名:", "年龄:", "身高 :", "体重 :",
                             "血型 :", "性别:", "日期 :", "其他 :", "2009-03-07 14:05"})
        EXPECT_TRUE(zh.contains(text)) << text;
    // poppler leaves out the blank between a Chinese glyph and a digit.
    EXPECT_TRUE(zh.contains(QRegularExpression("页 ?1"))) << zh.toStdString();
    const QString zhSummary = PdfText(Out("zh.pdf"), 7);
    for (const char* text : {"<< **诊断** >>", "正常窦性心律", "电轴正常", "<<**报告需经医师确认**>>"})
        EXPECT_TRUE(zhSummary.contains(text)) << text;

    // 400 packets lost inside aVF: no statement comes from the turns that mix two leads.
    std::vector<DevicePacket> lost = ReadPackets(RecordPath().toStdString());
    lost.erase(lost.begin() + 17000, lost.begin() + 17400);
    WritePackets("lost.cv", lost);
    ASSERT_EQ(RunProgram(kTool, {"--language", "English", "--pdf", Out("lost.pdf"), "lost.cv"}, &out, &err), 0);
    EXPECT_FALSE(PdfText(Out("lost.pdf"), PdfPages(Out("lost.pdf"))).contains("axis")) << err.toStdString();

    AppDatabase::Instance().Close();  // the tool opens the file itself
    ASSERT_EQ(RunProgram(kTool, {"--language", "English", "--patient-id", QString::number(patientId),
                          "--speed", "12.5", "--pdf", Out("p.pdf"), RecordPath()}, nullptr, &err), 0)
        << err.toStdString();
    const QString patient = PdfText(Out("p.pdf"), 1);
    for (const char* text : {"Name: Zhang Wei", "Sex: MALE", "12.5mm/s", "35Hz"})
        EXPECT_TRUE(patient.contains(text)) << text;
    // A loose page still names its patient and record: the footer and the date line at the top.
    ASSERT_EQ(PdfPages(Out("p.pdf")), 4);
    for (int page = 2; page <= 4; ++page) {
        const QString text = PdfText(Out("p.pdf"), page).simplified();
        EXPECT_TRUE(text.startsWith("2009-03-07 14:05")) << page;
        EXPECT_TRUE(text.endsWith("Name: Zhang Wei Clinical No.: 00004711 Page " + QString::number(page)))
            << page;
    }
}

TEST_F(ReportToolTest, BadInputOrAFullDiskGiveAMessageAndAFailureStatusAndKeepWhatWasThere)
{
    WritePackets(dir.Path() / "short.cv", std::vector<DevicePacket>(700, MakePacket(0, 192)));
    fs::create_directories(dir.Path() / "elsewhere");
    std::ofstream(dir.Path() / "random.cv") << std::string(3200, 'R');
    const auto recordBytes = fs::file_size(dir.Path() / RecordPath().toStdString());
    struct Case { const char* what; QStringList args; };
    const QString rec = RecordPath();
    const Case cases[] = {
        {"missing record", {"--pdf", Out("x.pdf"), "Data/1/none.cv"}},
        {"less than a second", {"--pdf", Out("x.pdf"), "short.cv"}},
        {"unwritable output", {"--pdf", Out("no-folder/x.pdf"), rec}},
        {"output is a folder", {"--pdf", Out("elsewhere"), rec}},
        {"no output", {rec}},
        {"no record", {"--pdf", Out("x.pdf")}},
        {"two records", {"--pdf", Out("x.pdf"), rec, rec}},
        {"bad speed", {"--speed", "30", "--pdf", Out("x.pdf"), rec}},
        {"unknown language", {"--language", "Klingon", "--pdf", Out("x.pdf"), rec}},
        {"no such patient", {"--patient-id", "4711", "--pdf", Out("x.pdf"), rec}},
        {"id that is no number", {"--patient-id", "1 or 1=1", "--pdf", Out("x.pdf"), rec}},
        {"unknown option", {"--colour", "--pdf", Out("x.pdf"), rec}},
        {"output is the record", {"--pdf", rec, rec}},
        {"output named as a record", {"--pdf", Out("x.CV"), rec}},
        {"bytes of no record", {"--pdf", Out("x.pdf"), "random.cv"}},
    };
    for (const Case& c : cases) {
        QString err;
        EXPECT_GT(RunProgram(kTool, c.args, nullptr, &err), 0) << c.what;
        EXPECT_TRUE(err.contains("corvida-report:")) << c.what << ": " << err.toStdString();
        EXPECT_FALSE(fs::exists(dir.Path() / "x.pdf")) << c.what;
    }
    EXPECT_FALSE(fs::exists(dir.Path() / "x.CV"));
    EXPECT_EQ(fs::file_size(dir.Path() / RecordPath().toStdString()), recordBytes);
    // A patient number without a database beside it.
    fs::current_path(dir.Path() / "elsewhere");
    QString err;
    EXPECT_GT(RunProgram(kTool, {"--patient-id", "1", "--pdf", "x.pdf", "../" + rec}, nullptr, &err), 0);
    EXPECT_TRUE(err.contains("Corvida.mdb")) << err.toStdString();
    fs::current_path(dir.Path());

    // A full disk keeps the report of an earlier run as it was: nothing half-written, nothing beside it.
    const auto kept = OnFullDisk([&](const QString& pdf) {
        EXPECT_EQ(RunProgram(kTool, {"--pdf", pdf, RecordPath()}, nullptr, &err), 1) << err.toStdString();
    });
    if (!kept)
        GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    EXPECT_EQ(*kept, std::vector<std::string>{"r.pdf: earlier"});
}
