// The measurement and diagnosis panels: every number they state against the analysis's own, and
// every statement written whole inside its panel on the screens the program is made for.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#include "analysis/ConclusionComposer.h"
#include "tests/support/MeasurementRows.h"
#include "tests/support/QtApp.h"
#include "tests/support/TempDir.h"
#include "tests/support/TextCapture.h"
#include "ui/AnalysisPanels.h"
#include "ui/WindowLayout.h"

TEST(AnalysisPanels, MeasurementRowsStateTheAnalysisOwnNumbers)
{
    EnsureQtApp();
    TempDir dir;
    const LanguageTable language = ShippedLanguage();
    const QRect rect = ComputeLayout(1366, 768).measurementRect;
    QString all;
    for (const std::filesystem::path& record : PinnedRecords(dir.Path())) {
        SCOPED_TRACE(record.filename().string());
        const AnalysisOf analysis(record);
        TextCapture shown;
        {
            QPainter painter(&shown);
            AnalysisPanels(language).DrawMeasurements(painter, rect, analysis.Set(), analysis.engine->Leads());
        }
        const QList<QStringList> rows = shown.Rows();
        const std::array<QStringList, 9> expected = ExpectedMeasurementRows(analysis);
        ASSERT_EQ(rows.size(), 9);
        for (int r = 0; r < 9; ++r) {
            EXPECT_EQ(QStringList({rows[r].value(0).trimmed(), rows[r].value(1), rows[r].value(2)}), expected[r]) << r;
            all += rows[r].join(' ');
        }
    }
    EXPECT_TRUE(all.contains("- - ") && all.contains(QRegularExpression("-[0-9]"))) << "no value of 0 or below 0";
}

// Rows of the panel's picture that hold text, as bands of consecutive rows; and whether any
// text lies outside the panel.
struct Ink {
    std::vector<int> bandHeights;
    bool outside = false;
};

Ink DrawnDiagnosis(const LanguageTable& language, const QSize& screen, const std::vector<std::string>& texts)
{
    const QRect rect = ComputeLayout(screen.width(), screen.height()).diagnosisRect;
    ConclusionLines lines;
    for (std::size_t k = 0; k < texts.size(); ++k)
        lines.line[9 - k] = texts[k];
    // The panel and a margin around it, where nothing may be drawn.
    const QRect area = rect.adjusted(-8, -8, 8, 8);
    QImage image(area.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        painter.translate(-area.topLeft());
        AnalysisPanels(language).DrawDiagnosis(painter, rect, lines, 10 - int(texts.size()), true);
    }
    Ink ink;
    int band = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        bool inked = false;
        for (int x = 0; x < image.width(); ++x)
            if (row[x] != qRgb(0, 0, 0)) {
                inked = true;
                ink.outside |= !rect.contains(area.topLeft() + QPoint(x, y));
            }
        if (inked)
            ++band;
        else if (band > 0)
            ink.bandHeights.push_back(std::exchange(band, 0));
    }
    return ink;
}

TEST(AnalysisPanels, EveryStatementAndTheLongestConclusionFitTheDiagnosisPanel)
{
    EnsureQtApp();
    for (const char* name : {"English", "中文"}) {
        const LanguageTable language = ShippedLanguage(name);
        const std::string closing = language.Translate(kClosingLineKey);
        // Every statement, and the T-wave statement behind the widest lead name.
        std::vector<std::string> statements;
        for (int code = kFirstStatement; code < kFirstLeadPrefix; ++code)
            statements.push_back(StatementText(code, language));
        DiagnosisFlags flags{};
        flags[kFirstLeadPrefix + kLeadAVR] = flags[kAbnormalTWave] = 1;
        ConclusionLines composed;
        ComposeConclusion(flags, composed, language);
        statements.push_back(composed.line[9]);
        std::vector<std::string> longest = statements;
        const QFontMetrics metrics(QFont("Arial", 12));
        std::sort(longest.begin(), longest.end(), [&](const std::string& a, const std::string& b) {
            return metrics.horizontalAdvance(QString::fromStdString(a)) > metrics.horizontalAdvance(QString::fromStdString(b));
        });
        longest.resize(7);
        longest.push_back(closing);
        for (const QSize screen : {QSize(1366, 768), QSize(1920, 1080)}) {
            SCOPED_TRACE(testing::Message() << name << ' ' << screen.width());
            for (const std::string& statement : statements) {
                if (statement.find_first_not_of(' ') == std::string::npos)
                    continue;  // the blank statements
                const Ink ink = DrawnDiagnosis(language, screen, {statement, closing});
                EXPECT_FALSE(ink.outside) << statement;
            }
            // The title and eight lines, each on its own, legible and whole.
            const Ink ink = DrawnDiagnosis(language, screen, longest);
            EXPECT_FALSE(ink.outside);
            ASSERT_EQ(ink.bandHeights.size(), 9u);
            for (const int height : ink.bandHeights)
                EXPECT_GE(height, 8);
        }
    }
}
