// The report layout measured on real raster pages at fixed resolutions: pixel positions of the
// grid, strips, pulses and traces, the pagination of whole records, and the texts of the header
// and the summary page.
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

#include "app/LanguageTable.h"
#include "db/PatientRecord.h"
#include "report/ReportLayout.h"
#include "tests/support/QtApp.h"
#include "tests/support/ShippedLanguage.h"

namespace {

LanguageTable en;  // the English texts the layout is handed

void UseEnglish()
{
    EnsureQtApp();
    en = ShippedLanguage();
}

// A white page of a paper size (mm) at a resolution, as a printer would present it.
QImage Page(int dpi, double widthMm = 210, double heightMm = 297)
{
    QImage image(static_cast<int>(std::lround(widthMm / 25.4 * dpi)),
                 static_cast<int>(std::lround(heightMm / 25.4 * dpi)), QImage::Format_Grayscale8);
    image.setDotsPerMeterX(static_cast<int>(std::lround(dpi / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(dpi / 0.0254)));
    image.fill(Qt::white);
    return image;
}

bool Dark(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y)) < 128;
}

// The twelve leads in the usual order, `packets` each, every sample at `value`.
std::vector<DevicePacket> Record(int packetsPerLead = kPacketsPerLead, int value = kBaseline,
                                 uint8_t gain = 1, uint8_t filter = 1)
{
    std::vector<DevicePacket> packets;
    for (int lead = 0; lead < kRecordLeads; ++lead)
        for (int i = 0; i < packetsPerLead; ++i)
            packets.push_back(MakePacket(static_cast<uint8_t>(lead), value, true, filter, gain));
    return packets;
}

ReportLayout Layout(const std::vector<DevicePacket>& packets, int speed, QImage& page)
{
    ReportLayout layout(BuildReportContent(packets, speed), BuildReportHeader(nullptr, {}, en), {}, en);
    layout.MeasureDevice(page);
    return layout;
}

}  // namespace

TEST(ReportLayout, PageRectanglesAndStripGeometry)
{
    UseEnglish();
    for (int dpi : {300, 600}) {
        QImage page = Page(dpi);
        ReportLayout layout = Layout(Record(), 1, page);
        SCOPED_TRACE(dpi);
        ASSERT_EQ(layout.Dpi(), dpi);
        // Half-inch side margins; the header band is at least 5/6 inch, lowered to fit its rows.
        EXPECT_EQ(layout.Frame().width(), page.width() - dpi + 1);
        EXPECT_GE(layout.HeaderBand().bottom(), layout.Frame().top() + 5 * dpi / 6);

        const double cm = layout.ReportCm();
        const int stripHeight = static_cast<int>(5.0 * cm);
        const int stripWidth = static_cast<int>(17.5 * cm);
        const int gap = static_cast<int>(cm);
        const Pagination& pages = layout.Pages();
        ASSERT_FALSE(pages.pages.empty());
        for (size_t p = 0; p < pages.pages.size(); ++p) {
            const std::vector<StripPlan>& strips = pages.pages[p];
            int top = p == 0 ? layout.HeaderBand().bottom() : layout.HeaderBand().top();
            for (const StripPlan& s : strips) {
                EXPECT_EQ(s.rect.top(), top);
                EXPECT_EQ(s.rect.bottom() - s.rect.top(), stripHeight);
                EXPECT_EQ(s.rect.right() - s.rect.left(), stripWidth);
                // Centred in the frame to within a pixel.
                EXPECT_LE(std::abs((s.rect.left() - layout.Frame().left())
                                   - (layout.Frame().right() - s.rect.right())), 1);
                EXPECT_LE(s.rect.bottom(), layout.FooterBand().top());
                top = s.rect.bottom() + gap;
            }
            // Page-full rule: a page ends only when the next strip would cross the footer band.
            if (p + 1 < pages.pages.size()) {
                EXPECT_GT(top + stripHeight, layout.FooterBand().top());
            }
        }
    }
}

TEST(ReportLayout, GridSquaresAndDotsLieOnTheReportMillimetre)
{
    UseEnglish();
    for (int dpi : {300, 600}) {
        SCOPED_TRACE(dpi);
        QImage page = Page(dpi);
        ReportLayout layout = Layout(Record(), 1, page);
        const QRect strip = layout.Pages().pages.at(0).at(0).rect;
        {
            QPainter painter(&page);
            layout.Begin(painter);
            layout.DrawGrid(painter, strip);
        }
        const double mm = layout.ReportCm() / 10;
        // Along a row half a millimetre below a 5 mm line, the dark runs are exactly the
        // vertical 5 mm lines: 35 of them across 17.5 cm, 5 mm apart.
        const int y = static_cast<int>(strip.top() + 7.5 * mm);
        std::vector<double> centres;
        for (int x = static_cast<int>(strip.left() + 2.5 * mm); x < strip.right() - 2.5 * mm; ++x) {
            if (!Dark(page, x, y))
                continue;
            int end = x;
            while (end + 1 < strip.right() && Dark(page, end + 1, y))
                ++end;
            centres.push_back((x + end) / 2.0);
            EXPECT_EQ(end - x + 1, 3) << "a 5 mm line is three pixels wide at " << x;
            x = end;
        }
        ASSERT_EQ(centres.size(), 34u);  // k = 5 ... 170; k = 0 merges with the outline
        for (size_t i = 0; i < centres.size(); ++i) {
            const double expected = std::trunc(strip.left() + (i + 1) * 5 * mm + 0.5);
            EXPECT_NEAR(centres[i], expected, 1.0) << i;
        }
        const double square = (centres.back() - centres.front()) / (centres.size() - 1);
        EXPECT_NEAR(square, 5 * mm, 0.05);
        EXPECT_NEAR(square, dpi == 300 ? 56.34 : 112.68, 0.05);

        // 1 mm dots sit on whole-mm positions with blank paper between them.
        for (int k : {1, 2, 3, 4, 6, 9}) {
            const int x = static_cast<int>(strip.left() + k * mm + 0.5);
            for (int n : {1, 2, 3, 4, 6}) {
                const int yy = static_cast<int>(strip.top() + n * mm + 0.5);
                EXPECT_TRUE(Dark(page, x, yy)) << k << "," << n;
                EXPECT_FALSE(Dark(page, x + static_cast<int>(mm / 2), yy)) << k << "," << n;
            }
        }
    }
}

TEST(ReportLayout, CalibrationPulseHeightFollowsTheGain)
{
    UseEnglish();
    struct Case { uint8_t gain; int amplitude; const char* label; double mm; };
    const Case cases[] = {{0, 40, "5mm/mv", 5}, {1, 80, "10mm/mv", 10}, {2, 160, "20mm/mv", 20}};
    for (int dpi : {300, 600})
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << dpi << " dpi, gain " << int(c.gain));
            QImage page = Page(dpi);
            ReportLayout layout = Layout(Record(kPacketsPerLead, kBaseline, c.gain), 1, page);
            const ReportLead& lead = layout.Content().leads.at(0);
            EXPECT_EQ(lead.calAmplitude, c.amplitude);
            EXPECT_EQ(lead.labelLines[2], c.label);
            {
                QPainter painter(&page);
                painter.setPen(QPen(Qt::black, 1));
                layout.DrawCalibrationPulse(painter, 100, page.height() / 2, lead.calAmplitude);
            }
            int top = page.height(), bottom = -1;
            const int x = 100 + static_cast<int>(layout.ReportCm() / 4) + 2;  // on the plateau
            for (int y = 0; y < page.height(); ++y)
                if (Dark(page, x, y) || Dark(page, 100 + 1, y)) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            // Half the height is truncated to whole pixels.
            EXPECT_NEAR(bottom - top, c.mm * layout.ReportCm() / 10, 2.0);
        }
}

TEST(ReportLayout, PaperSizesAndAFooterThatNamesThePatientOnEach)
{
    UseEnglish();
    struct Case { double w, h; bool tooSmall; };
    const Case cases[] = {
        {210, 297, false},      // A4
        {297, 210, false},      // A4 landscape still holds two strips a page
        {215.9, 279.4, false},  // Letter
        {215.9, 355.6, false},  // Legal
        {148, 210, true},       // A5: a strip is wider than the frame; the summary page prints
        {297, 100, true},       // a strip is taller than the body
    };
    PatientRecord usual, widest;
    usual.Name = "Zhang Wei";
    usual.ClinicalNo = "00004711";
    widest.Name = QString(kNameEntryLimit, 'W');  // the most the patient dialog takes
    widest.ClinicalNo = QString(kClinicalNoEntryLimit, 'W');
    for (const char* language : {"English", "中文"})
        for (const Case& c : cases)
            for (const PatientRecord* patient : {&usual, &widest}) {
                SCOPED_TRACE(testing::Message() << language << " " << c.w << "x" << c.h << " "
                                                << patient->Name.toStdString());
                en.Load(language);
                QImage page = Page(300, c.w, c.h);
                ReportLayout layout(BuildReportContent(Record(), 1),
                                    BuildReportHeader(patient, "2009-03-07 14:05", en), {}, en);
                layout.MeasureDevice(page);
                EXPECT_EQ(layout.Pages().paperTooSmall, c.tooSmall);
                EXPECT_EQ(layout.Pages().pages.empty(), c.tooSmall);
                // The patient lies whole in the footer band, clear of the page number.
                const ReportLayout::FooterPositions f = layout.FooterAt();
                const QRect band = layout.FooterBand();
                EXPECT_TRUE(band.contains(f.page));
                EXPECT_TRUE(band.contains(f.patient));
                EXPECT_FALSE(f.patient.intersects(f.page));
                // On the papers that print strips a usual name shares the page number's line.
                if (patient == &usual && !c.tooSmall) {
                    EXPECT_EQ(f.patient.top(), f.page.top());
                }
            }
    en.Load("English");
}

TEST(ReportLayout, HeaderDateFromTheStoredInsertionTime)
{
    UseEnglish();
    PatientRecord p;
    const std::pair<const char*, const char*> cases[] = {
        {"2009-3-7  14:5:9", "2009-03-07 14:05:09"},  // as the insert statement writes it
        {"2009-03-07T14:05:09", "2009-03-07 14:05:09"},
        {"unknown", "unknown"},
    };
    for (const auto& [stored, shown] : cases) {
        p.NewDate = stored;
        EXPECT_EQ(BuildReportHeader(&p, {}, en).texts[9], QString("Date : ") + shown);
    }
}

TEST(ReportLayout, OtherHasTheWholeLastHeaderRow)
{
    UseEnglish();
    QImage page = Page(300);
    PatientRecord p;
    auto bandBottom = [&](int words) {
        p.Other = QString("word ").repeated(words);
        ReportLayout layout(BuildReportContent({}, 1), BuildReportHeader(&p, {}, en), {}, en);
        layout.MeasureDevice(page);
        return layout.HeaderBand().bottom();
    };
    EXPECT_EQ(bandBottom(12), bandBottom(1));  // wider than a column, still one line
    EXPECT_GT(bandBottom(40), bandBottom(1));  // wider than the row: it wraps
}

TEST(ReportLayout, RecordDateFromTheFileName)
{
    struct Case { const char* path; const char* date; };
    const Case cases[] = {
        {"Data/5/m200903071405.cv", "2009-03-07 14:05"},
        {"Data\\5\\m200903071405.cv", "2009-03-07 14:05"},
        {"m202612312359.cv", "2026-12-31 23:59"},
        {"", ""},
        {".cv", ""},
        {"m.cv", ""},                          // shorter than the date
        {"Data/Demo/NormalSinus72.cv", ""},     // a demo record
        {"Data/5/x200903071405.cv", ""},
        {"Data/5/m2009030714a5.cv", ""},
        {"Data/5/m20090307140.cv", ""},         // eleven digits
        {"Data/5/m200913071405.cv", ""},        // month 13
        {"Data/5/m200902301405.cv", ""},        // 30 February
        {"Data/5/m200903072460.cv", ""},
        {"Data/5/m200903071405", ""},           // no extension
        {"Data/m200903071405.cv/other.cv", ""}, // only the name counts
    };
    for (const Case& c : cases)
        EXPECT_EQ(RecordDateText(c.path), QString(c.date)) << c.path;
}

TEST(ReportLayout, SummaryColumnsAndDiagnosisNeverOverlap)
{
    UseEnglish();
    ReportSummary s;
    s.firstLine = 2;
    for (int i = 2; i < 10; ++i)
        s.conclusion.line[i] = "statement " + std::to_string(i);
    for (int dpi : {300, 600, 1200}) {
        SCOPED_TRACE(dpi);
        QImage page = Page(dpi);
        ReportLayout layout(BuildReportContent({}, 1), BuildReportHeader(nullptr, {}, en), s, en);
        layout.MeasureDevice(page);
        const ReportLayout::SummaryPositions pos = layout.SummaryAt();
        QFont base("Arial");
        base.setPointSize(10);
        const QFontMetrics fm(base, &page);
        const int lineHeight = fm.height();
        for (int r = 0; r < kSummaryRows; ++r) {
            if (r > 0) {  // one row a line, none on another
                EXPECT_GE(pos.label[r].y(), pos.label[r - 1].y() + lineHeight) << r;
            }
            EXPECT_GT(pos.unit[r].x(), pos.label[r].x() + fm.horizontalAdvance("R(V5)+S(V1)"));
            EXPECT_GT(pos.value[r].x(), pos.unit[r].x() + fm.horizontalAdvance("[deg]:"));
            EXPECT_GE(pos.label[r].y(), layout.HeaderBand().bottom());
        }
        // The heading comes below the last measurement row and the lines follow one a row.
        EXPECT_GE(pos.heading.y(), pos.label[kSummaryRows - 1].y() + lineHeight);
        ASSERT_EQ(pos.lines.size(), 8u);
        EXPECT_GE(pos.lines.front().y(), pos.heading.y() + lineHeight);
        EXPECT_LE(pos.lines.back().y() + lineHeight, layout.FooterBand().top());
    }
}

// Height in pixels of what a strip drawing added to its grid between two x positions.
int InkHeight(const QImage& page, const QImage& grid, const QRect& r, double from, double to)
{
    int top = -1, bottom = -1;
    for (int y = r.top() + 3; y < r.bottom() - 3; ++y)
        for (int x = static_cast<int>(r.left() + from); x < static_cast<int>(r.left() + to); ++x)
            if (Dark(page, x, y) && !Dark(grid, x, y)) {
                if (top < 0)
                    top = y;
                bottom = y;
                break;
            }
    return top < 0 ? 0 : bottom - top + 1;
}

TEST(ReportLayout, LeadNameEndsBeforeTheCalibrationPulse)
{
    UseEnglish();
    for (int dpi : {300, 600})
    for (uint8_t lead : {kLeadI, kLeadAVR, kLeadAVL, kLeadAVF, kLeadV6}) {
        SCOPED_TRACE(testing::Message() << dpi << " dpi, " << kLeadNames[lead]);
        QImage page = Page(dpi);
        // Gain code 3 draws no pulse, so any ink between name and trace would be the name's.
        std::vector<DevicePacket> packets(kPacketsPerLead, MakePacket(lead, kBaseline, true, 0, 3));
        ReportLayout layout = Layout(packets, 1, page);
        const StripPlan strip = layout.Pages().pages.at(0).at(0);
        QImage grid = page.copy();
        {
            QPainter painter(&grid);
            layout.Begin(painter);
            layout.DrawGrid(painter, strip.rect);
        }
        {
            QPainter painter(&page);
            layout.Begin(painter);
            layout.DrawStrip(painter, strip);
        }
        const double cm = layout.ReportCm();
        auto inkBetween = [&](double fromCm, double toCm) {
            int ink = 0;
            for (int x = static_cast<int>(strip.rect.left() + fromCm * cm);
                 x < static_cast<int>(strip.rect.left() + toCm * cm); ++x)
                for (int y = strip.rect.top() + 3; y < strip.rect.bottom() - 3; ++y)
                    ink += Dark(page, x, y) && !Dark(grid, x, y);
            return ink;
        };
        EXPECT_GT(inkBetween(1.0, 2.1), 50);   // the name is there ...
        if (lead == kLeadAVR || lead == kLeadAVL || lead == kLeadAVF) {
            EXPECT_GT(inkBetween(1.85, 2.1), 0);  // a wide one made just small enough to fit
        }
        EXPECT_EQ(inkBetween(2.1, 2.95), 0);   // ... and clear of the pulse's place
        // The filter label "OFF" stands on the strip's middle 5 mm line, on white of its own:
        // under it the line gives way to the letters.
        const int line = static_cast<int>(strip.rect.top() + 2.5 * cm + 0.5);
        QFont base("Arial");
        base.setPointSize(10);
        const int from = strip.rect.left() + 2 * layout.PenWidth();
        const int to = from + QFontMetrics(base, &page).horizontalAdvance("OFF");
        int lineDark = 0, labelDark = 0;
        for (int x = from; x < to; ++x) {
            lineDark += Dark(grid, x, line);
            labelDark += Dark(page, x, line);
        }
        EXPECT_EQ(lineDark, to - from);
        EXPECT_GT(to - from - labelDark, (to - from) / 4);
        EXPECT_FALSE(Dark(page, from - 1, line));
        // The speed stands a line above the filter (the gain code 3 has no gain line below).
        int above = 0;
        for (int x = from; x < to; ++x)
            for (int y = strip.rect.top() + 3; y < line - QFontMetrics(base, &page).height(); ++y)
                above += Dark(page, x, y) && !Dark(grid, x, y);
        EXPECT_GT(above, 0);
        EXPECT_TRUE(Dark(page, to + 3 * layout.PenWidth(), line));  // beyond the label it goes on
        if (lead == kLeadI) {  // the same size on paper at any resolution: 22.5 points high
            EXPECT_NEAR(InkHeight(page, grid, strip.rect, 1.35 * cm, 1.65 * cm) / double(dpi),
                        0.225, 0.007);
        }
    }
}

TEST(ReportLayout, DateLineStaysInsideThePrintableArea)
{
    UseEnglish();
    QImage page = Page(600);
    ReportLayout layout(BuildReportContent({}, 1), BuildReportHeader(nullptr, "2009-03-07 14:05", en),
                        {}, en);
    layout.MeasureDevice(page);
    EXPECT_EQ(layout.DateTopLeft(), QPoint(300 / 4, 350 / 4));  // a quarter of the band's corner
    // A printer that cannot reach the outer 100 px (4.2 mm) on the left and 120 px at the top.
    layout.MeasureDevice(page, QRect(100, 120, page.width() - 200, page.height() - 240));
    EXPECT_EQ(layout.DateTopLeft(), QPoint(100, 120));
    layout.MeasureDevice(page, QRect(20, 20, page.width() - 40, page.height() - 40));
    EXPECT_EQ(layout.DateTopLeft(), QPoint(75, 87));
}
