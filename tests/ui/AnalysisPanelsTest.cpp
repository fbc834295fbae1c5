// The measurement and diagnosis panels: every number they state, and the summary page and the
// archived waveform with them, against the analysis's own; and every statement written whole
// inside its panel on the screens the program is made for.
#include <gtest/gtest.h>

#include <QImage>
#include <QPdfWriter>
#include <QPainter>
#include <QRegularExpression>
#include <functional>

#include "analysis/AnalysisEngine.h"
#include "analysis/ConclusionComposer.h"
#include "dicom/DicomObjects.h"
#include "record/RecordFile.h"
#include "report/ReportRecord.h"
#include "tests/dicom/DicomFixture.h"
#include "tests/support/PacketFile.h"
#include "tests/support/QtApp.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ShippedLanguage.h"
#include "tests/support/TempDir.h"
#include "tools/SyntheticEcg.h"
#include "ui/AnalysisPanels.h"
#include "ui/WindowLayout.h"

namespace {

// The nine measurement rows of a drawing as poppler reads them from a PDF of it, from the row that
// starts with "HR"; blanks collapse, as on the page.
QStringList MeasurementRows(const QString& pdf, int dpi, const std::function<void(QPdfWriter&, QPainter&)>& draw)
{
    {
        QPdfWriter writer(pdf);
        writer.setResolution(dpi);
        QPainter painter(&writer);
        draw(writer, painter);
    }
    QString text;
    RunProgram("pdftotext", {"-raw", pdf, "-"}, &text);
    QStringList lines = text.split('\n');
    lines.erase(lines.begin(), std::find_if(lines.begin(), lines.end(), [](const QString& l) { return l.startsWith("HR "); }));
    return lines.mid(0, 9);
}

// Draws on a black screen, with room for text beyond its right edge, and returns the heights of
// the bands of rows that hold ink; ink outside rect fails the test.
std::vector<int> InkBands(const QSize& screen, const QRect& rect, const std::function<void(QPainter&)>& draw)
{
    QImage image(screen + QSize(400, 0), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    draw(painter);
    painter.end();
    std::vector<int> bands{0};
    const auto inked = [](QRgb c) { return c != qRgb(0, 0, 0); };
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        const auto* first = std::find_if(row, row + image.width(), inked);
        if (first == row + image.width()) {
            if (bands.back() > 0)
                bands.push_back(0);
            continue;
        }
        ++bands.back();
        EXPECT_TRUE(rect.contains(int(first - row), y) && std::none_of(row + rect.right() + 1, row + image.width(), inked))
            << "row " << y;
    }
    bands.pop_back();
    return bands;
}

}  // namespace

// The demo records and one without P waves whose axes point up and right, so that values of 0
// and below 0 are shown too.
TEST(AnalysisPanels, ScreenPaperAndArchiveStateTheAnalysisOwnNumbers)
{
    EnsureQtApp();
    TempDir dir;
    const LanguageTable en = ShippedLanguage();
    std::vector<std::filesystem::path> records;
    for (const char* demo : {"NormalSinus72", "Bradycardia48", "Tachycardia125", "WideQrs68"})
        records.push_back(std::filesystem::path(CORVIDA_APP_DIR) / "Data/Demo" / (std::string(demo) + ".cv"));
    EcgParameters model;
    model.pAmplitude = 0;
    model.qrsAxis = -100;
    model.tAxis = -120;
    records.push_back(dir.Path() / "m200903071405.cv");
    WritePackets(records.back(), SynthesizeRecord(model));
    QString all;
    for (const std::filesystem::path& path : records) {
        SCOPED_TRACE(path.filename().string());
        const auto analysed = std::make_unique<AnalysisEngine>();  // the analysis's own numbers
        const AnalysisEngine& engine = *analysed;
        ConclusionLines lines;
        ReviewRecord review;
        ASSERT_EQ(LoadForReview(path, *analysed, en, lines, review), ReviewOutcome::Loaded);
        const MeasurementSet& m = engine.Measurements();
        const int32_t rv5 = engine.Leads()[kLeadV5][kFieldR], sv1 = engine.Leads()[kLeadV1][kFieldS];
        // Integers as measured, axes (kept in tenths) in degrees with one decimal, "- - " for 0.
        const auto v = [](double value, int decimals = 0) {
            return value == 0 ? QString("- - ") : QString::number(value, 'f', decimals);
        };
        const QList<QStringList> rows = {
            {"HR", "[bpm]:", v(m.heartRate)}, {"PR", "[ms]:", v(m.pr)}, {"P", "[ms]:", v(m.pDuration)},
            {"QRS", "[ms]:", v(m.qrs)}, {"T", "[ms]:", v(m.tDuration)}, {"QT/QTc", "[ms]:", v(m.qt) + " / " + v(m.qtc)},
            {"P/QRS/T", "[deg]:", v(m.pAxis / 10.0, 1) + "/" + v(m.qrsAxis / 10.0, 1) + "/" + v(m.tAxis / 10.0, 1)},
            {"R(V5)/S(V1)", "[µV]:", v(rv5) + " / " + v(sv1)}, {"R(V5)+S(V1)", "[µV]:", v(std::abs(rv5) + std::abs(sv1))}};
        QStringList expected;
        for (const QStringList& row : rows)
            expected << row.join(' ').simplified();
        all += expected.join(' ');

        const QString pdf = QString::fromStdString((dir.Path() / "shown.pdf").string());
        EXPECT_EQ(MeasurementRows(pdf, 96, [&](QPdfWriter&, QPainter& painter) {  // at a screen's pixels
            const QRect rect = ComputeLayout(1366, 768).measurementRect;
            painter.translate(-rect.topLeft());
            AnalysisPanels(en).DrawMeasurements(painter, rect, m, engine.Leads());
        }), expected);

        // The report analyses the file on its own.
        const ReportRecord read = ReadReportRecord(QString::fromStdString(path.string()), 1, en);
        EXPECT_EQ(MeasurementRows(pdf, 600, [&](QPdfWriter& paper, QPainter& painter) {
            ReportLayout layout(read.content, BuildReportHeader(nullptr, {}, en), read.summary, en);
            layout.MeasureDevice(paper);
            layout.DrawSummary(painter, 2);
        }), expected);

        // The archived waveform, every annotation in the machine group: the rows as texts, the
        // values coded.
        DicomRecord record;
        ASSERT_EQ(ReadDicomRecord(path, en, record), AnalysedRead::Read);
        const DicomObject object = BuildEcgWaveform(record, {}, MakeRecordUids(kRoot, record, {}, "English"), en);
        std::vector<std::string> texts;
        std::map<std::string, double> coded;
        for (int i = 0; DcmItem* a = Item(*object.file->getDataset(), DCM_WaveformAnnotationSequence, i); ++i) {
            Uint16 group = 0;
            a->findAndGetUint16(DCM_AnnotationGroupNumber, group);
            EXPECT_EQ(group, kMachineAnnotationGroup);
            if (DcmItem* name = Item(*a, DCM_ConceptNameCodeSequence))
                coded[Str(*name, DCM_CodeValue)] = std::stod(Str(*a, DCM_NumericValue));
            else
                texts.push_back(Str(*a, DCM_UnformattedTextValue));
        }
        // Marked unconfirmed first, the conclusion last with its request for a physician.
        ASSERT_GE(texts.size(), 10u);
        EXPECT_EQ(texts.front() + " " + texts.back(), "Unconfirmed machine interpretation " + lines.line[review.firstLine]);
        for (int r = 0; r < 9; ++r)
            EXPECT_EQ(QString::fromStdString(texts[r + 1]).simplified(), expected[r]);
        const std::pair<const char*, double> values[] = {
            {"2:16016", m.heartRate}, {"2:16184", m.pDuration},   {"2:15872", m.pr},
            {"2:16156", m.qrs},       {"2:16160", m.qt},          {"2:15876", m.qtc},
            {"2:16128", m.pAxis / 10}, {"2:16132", m.qrsAxis / 10}, {"2:16136", m.tAxis / 10}};
        for (const auto& [code, value] : values) {
            EXPECT_EQ(coded.count(code), value != 0 ? 1u : 0u) << code;
            EXPECT_NEAR(coded[code], value, 0.05) << code;
        }
    }
    EXPECT_TRUE(all.contains("- -") && all.contains(QRegularExpression("-[0-9]"))) << "no value of 0 or below 0";
}

// The widest conclusion the catalogue allows, seven of its widest statements and the closing line,
// with the title on a black screen: nothing beyond the panel's edges, and each of the nine texts a
// band of rows of its own, tall enough to read; on paper every line ends inside the frame. A
// narrower statement fits wherever these do.
TEST(AnalysisPanels, EveryStatementAndTheLongestConclusionFitTheDiagnosisPanelAndTheSummaryPage)
{
    EnsureQtApp();
    for (const char* name : {"English", "中文"}) {
        const LanguageTable language = ShippedLanguage(name);
        std::vector<QString> texts;
        for (int code = kFirstStatement; code < kFirstLeadPrefix; ++code)
            texts.push_back(QString::fromStdString(StatementText(code, language)));
        DiagnosisFlags flags{};  // the T-wave statement behind the widest lead name
        flags[kFirstLeadPrefix + kLeadAVR] = flags[kAbnormalTWave] = 1;
        ConclusionLines lines;
        ComposeConclusion(flags, lines, language);
        texts.push_back(QString::fromStdString(lines.line[9]));
        const QFontMetrics metrics(QFont("Arial", 12));
        std::sort(texts.begin(), texts.end(),
                  [&](const QString& a, const QString& b) { return metrics.horizontalAdvance(a) > metrics.horizontalAdvance(b); });
        for (int k = 0; k < 7; ++k)
            lines.line[9 - k] = texts[k].toStdString();
        lines.line[2] = language.Translate(kClosingLineKey);
        for (const QSize screen : {QSize(1366, 768), QSize(1920, 1080)}) {
            SCOPED_TRACE(testing::Message() << name << ' ' << screen.width());
            const WindowLayout layout = ComputeLayout(screen.width(), screen.height());
            const std::vector<int> bands = InkBands(screen, layout.diagnosisRect, [&](QPainter& painter) {
                AnalysisPanels(language).DrawDiagnosis(painter, layout.diagnosisRect, lines, 2, true);
            });
            ASSERT_EQ(bands.size(), 9u);
            for (const int height : bands)
                EXPECT_GE(height, 8);
            // The widest numbers the analysis gives stay in the measurement panel, row by row.
            MeasurementSet widest{999, 999, 999, 999, 999, 999, 999, -1799, -1799, -1799};
            std::array<LeadMeasurements, kLeadCount> leads{};
            leads[kLeadV5][kFieldR] = 99999;
            leads[kLeadV1][kFieldS] = -99999;
            EXPECT_EQ(InkBands(screen, layout.measurementRect, [&](QPainter& painter) {
                AnalysisPanels(language).DrawMeasurements(painter, layout.measurementRect, widest, leads);
            }).size(), 9u);
        }
        QImage a4(2480, 3508, QImage::Format_Grayscale8);  // 300 dpi
        a4.setDotsPerMeterX(11811);
        a4.setDotsPerMeterY(11811);
        ReportLayout layout({}, BuildReportHeader(nullptr, {}, language), {{}, 0, 0, lines, 2}, language);
        layout.MeasureDevice(a4);
        const std::vector<QPoint> at = layout.SummaryAt().lines;
        ASSERT_EQ(at.size(), 8u);
        for (int k = 0; k < 8; ++k)
            EXPECT_LE(at[k].x() + QFontMetrics(QFont("Arial", 10), &a4).horizontalAdvance(QString::fromStdString(lines.line[9 - k])),
                      layout.Frame().right()) << k;
    }
}
