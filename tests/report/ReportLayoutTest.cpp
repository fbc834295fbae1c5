// The report layout measured on real raster pages at fixed resolutions: pixel positions of the
// grid, strips, pulses and traces, the pagination of whole records, and the texts of the header
// and the summary page.
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

#include "db/PatientRecord.h"
#include "foundation/LanguageTable.h"
#include "report/ReportLayout.h"
#include "tests/support/QtApp.h"
#include "tests/support/ShippedLanguage.h"

namespace {

LanguageTable en;  // the English texts the layout is handed

// A white page of a paper size (mm) at a resolution, as a printer would present it.
QImage Page(int dpi, double widthMm = 210, double heightMm = 297)
{
    static const bool ready = (EnsureQtApp(), en = ShippedLanguage(), true);
    (void)ready;
    QImage image(static_cast<int>(std::lround(widthMm / 25.4 * dpi)),
                 static_cast<int>(std::lround(heightMm / 25.4 * dpi)), QImage::Format_Grayscale8);
    image.setDotsPerMeterX(static_cast<int>(std::lround(dpi / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(dpi / 0.0254)));
    image.fill(Qt::white);
    return image;
}

bool Dark(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 128; }

// The twelve leads in the usual order, a second each on the zero line.
std::vector<DevicePacket> Record(uint8_t gain = 1)
{
    std::vector<DevicePacket> packets;
    for (int lead = 0; lead < kRecordLeads; ++lead)
        packets.insert(packets.end(), kPacketsPerLead, MakePacket(static_cast<uint8_t>(lead), kBaseline, true, 1, gain));
    return packets;
}

ReportLayout Layout(QImage& page, const std::vector<DevicePacket>& packets = {},
                    const ReportHeader& header = BuildReportHeader(nullptr, {}, en), ReportSummary summary = {})
{
    ReportLayout layout(BuildReportContent(packets, 1), header, std::move(summary), en);
    layout.MeasureDevice(page);
    return layout;
}

// Draws on a page as the print job would, after the layout's own set-up.
template <class Draw>
void Paint(QImage& page, const ReportLayout& layout, Draw draw)
{
    QPainter painter(&page);
    layout.Begin(painter);
    draw(painter);
}

}  // namespace

TEST(ReportLayout, PageRectanglesAndStripGeometry)
{
    for (int dpi : {300, 600}) {
        QImage page = Page(dpi);
        ReportLayout layout = Layout(page, Record());
        SCOPED_TRACE(dpi);
        ASSERT_EQ(layout.Dpi(), dpi);
        // Half-inch side margins; the header band is at least 5/6 inch, lowered to fit its rows.
        EXPECT_EQ(layout.Frame().width(), page.width() - dpi + 1);
        EXPECT_GE(layout.HeaderBand().bottom(), layout.Frame().top() + 5 * dpi / 6);
        // The date line at a quarter of the band's corner, or where the printer reaches.
        EXPECT_EQ(layout.DateTopLeft(), QPoint(dpi / 2 / 4, 7 * dpi / 12 / 4));
        layout.MeasureDevice(page, QRect(dpi / 6, dpi / 5, page.width() - dpi / 3, page.height() - dpi / 2));
        EXPECT_EQ(layout.DateTopLeft(), QPoint(dpi / 6, dpi / 5));
        layout.MeasureDevice(page, QRect(dpi / 30, dpi / 30, page.width() - dpi / 15, page.height() - dpi / 15));
        EXPECT_EQ(layout.DateTopLeft(), QPoint(dpi / 2 / 4, 7 * dpi / 12 / 4));
        layout.MeasureDevice(page);

        // Strips of 17.5 x 5 cm a centimetre apart, centred to within a pixel; a page ends only
        // when the next strip would cross the footer band.
        const int stripHeight = static_cast<int>(5.0 * layout.ReportCm());
        const std::vector<std::vector<StripPlan>>& pages = layout.Pages().pages;
        ASSERT_FALSE(pages.empty());
        for (size_t p = 0; p < pages.size(); ++p) {
            int top = p == 0 ? layout.HeaderBand().bottom() : layout.HeaderBand().top();
            for (const StripPlan& s : pages[p]) {
                EXPECT_EQ(s.rect.top(), top);
                EXPECT_EQ(s.rect.size(), QSize(static_cast<int>(17.5 * layout.ReportCm()) + 1, stripHeight + 1));
                EXPECT_LE(std::abs(s.rect.left() - layout.Frame().left() - layout.Frame().right() + s.rect.right()), 1);
                EXPECT_LE(s.rect.bottom(), layout.FooterBand().top());
                top = s.rect.bottom() + static_cast<int>(layout.ReportCm());
            }
            EXPECT_TRUE(p + 1 == pages.size() || top + stripHeight > layout.FooterBand().top()) << p;
        }
    }
}

TEST(ReportLayout, GridSquaresAndDotsLieOnTheReportMillimetre)
{
    for (int dpi : {300, 600}) {
        SCOPED_TRACE(dpi);
        QImage page = Page(dpi);
        ReportLayout layout = Layout(page, Record());
        const QRect strip = layout.Pages().pages.at(0).at(0).rect;
        Paint(page, layout, [&](QPainter& painter) { layout.DrawGrid(painter, strip); });
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
        for (size_t i = 0; i < centres.size(); ++i)
            EXPECT_NEAR(centres[i], std::trunc(strip.left() + (i + 1) * 5 * mm + 0.5), 1.0) << i;
        // The square on paper, whatever the layout's own millimetre says.
        EXPECT_NEAR((centres.back() - centres.front()) / (centres.size() - 1), dpi == 300 ? 56.34 : 112.68, 0.05);

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
    struct Case { uint8_t gain; const char* label; double mm; };
    const Case cases[] = {{0, "5mm/mV", 5}, {1, "10mm/mV", 10}, {2, "20mm/mV", 20}};
    for (int dpi : {300, 600})
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << dpi << " dpi, gain " << int(c.gain));
            QImage page = Page(dpi);
            ReportLayout layout = Layout(page, Record(c.gain));
            const ReportLead& lead = layout.Content().leads.at(0);
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
    struct Case { double w, h; bool tooSmall; };
    // A4 both ways, Letter, Legal; A5 where a strip is wider than the frame (the summary page
    // prints) and a paper where it is taller than the body.
    const Case cases[] = {{210, 297, false},   {297, 210, false}, {215.9, 279.4, false},
                          {215.9, 355.6, false}, {148, 210, true}, {297, 100, true}};
    PatientRecord usual, widest;
    usual.Name = "Zhang Wei";
    usual.ClinicalNo = "00004711";
    widest.Name = QString(kNameEntryLimit, 'W');  // the most the patient dialog takes
    widest.ClinicalNo = QString(kClinicalNoEntryLimit, 'W');
    for (const char* language : {"English", "中文"})
        for (const Case& c : cases)
            for (const PatientRecord* patient : {&usual, &widest}) {
                SCOPED_TRACE(testing::Message() << language << ' ' << c.w << 'x' << c.h << ' ' << patient->Name.toStdString());
                QImage page = Page(300, c.w, c.h);
                en.Load(language);
                ReportLayout layout = Layout(page, Record(), BuildReportHeader(patient, "2009-03-07 14:05", en));
                EXPECT_EQ(layout.Pages().paperTooSmall, c.tooSmall);
                EXPECT_EQ(layout.Pages().pages.empty(), c.tooSmall);
                // The patient lies whole in the footer band, clear of the page number.
                const ReportLayout::FooterPositions f = layout.FooterAt();
                const QRect band = layout.FooterBand();
                EXPECT_TRUE(band.contains(f.page));
                EXPECT_TRUE(band.contains(f.patient));
                EXPECT_FALSE(f.patient.intersects(f.page));
                // On the papers that print strips a usual name shares the page number's line.
                EXPECT_TRUE(patient != &usual || c.tooSmall || f.patient.top() == f.page.top());
            }
    en.Load("English");
}

// The date from the stored insertion time; the other facts have the whole last header row.
TEST(ReportLayout, HeaderDatesAndOtherFacts)
{
    QImage page = Page(300);
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
    auto bandBottom = [&](int words) {
        p.Other = QString("word ").repeated(words);
        return Layout(page, {}, BuildReportHeader(&p, {}, en)).HeaderBand().bottom();
    };
    EXPECT_EQ(bandBottom(12), bandBottom(1));  // wider than a column, still one line
    EXPECT_GT(bandBottom(40), bandBottom(1));  // wider than the row: it wraps

    // The record's date from its file name; the name's own checks are the record file's, here
    // the separators and the calendar.
    struct Case { const char* path; const char* date; };
    const Case records[] = {
        {"Data/5/m200903071405.cv", "2009-03-07 14:05"}, {"Data\\5\\m200903071405.cv", ""} /* one name */,
        {"m202612312359.cv", "2026-12-31 23:59"},        {"Data/Demo/NormalSinus72.cv", ""},
        {"Data/5/m200902301405.cv", ""} /* 30 February */, {"Data/m200903071405.cv/other.cv", ""} /* the name counts */,
    };
    for (const Case& c : records)
        EXPECT_EQ(RecordDateText(c.path), QString(c.date)) << c.path;
}

TEST(ReportLayout, SummaryColumnsAndDiagnosisNeverOverlap)
{
    ReportSummary s;
    s.firstLine = 2;
    for (int i = 2; i < 10; ++i)
        s.conclusion.line[i] = "statement " + std::to_string(i);
    for (int dpi : {300, 600, 1200}) {
        SCOPED_TRACE(dpi);
        QImage page = Page(dpi);
        ReportLayout layout = Layout(page, {}, BuildReportHeader(nullptr, {}, en), s);
        const ReportLayout::SummaryPositions pos = layout.SummaryAt();
        const QFontMetrics fm(QFont("Arial", 10), &page);  // the report's 10 point text
        const int lineHeight = fm.height();
        for (int r = 0; r < kSummaryRows; ++r) {
            EXPECT_TRUE(r == 0 || pos.label[r].y() >= pos.label[r - 1].y() + lineHeight) << r;  // one row a line
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

TEST(ReportLayout, LeadNameEndsBeforeTheCalibrationPulse)
{
    for (int dpi : {300, 600})
    for (uint8_t lead : {kLeadI, kLeadAVR, kLeadAVL, kLeadAVF, kLeadV6}) {
        SCOPED_TRACE(testing::Message() << dpi << " dpi, " << kLeadNames[lead]);
        QImage page = Page(dpi);
        // Gain code 3 draws no pulse, so any ink between name and trace would be the name's.
        ReportLayout layout = Layout(page, std::vector<DevicePacket>(kPacketsPerLead,
                                                                      MakePacket(lead, kBaseline, true, 0, 3)));
        const StripPlan strip = layout.Pages().pages.at(0).at(0);
        QImage grid = page.copy();
        Paint(grid, layout, [&](QPainter& painter) { layout.DrawGrid(painter, strip.rect); });
        Paint(page, layout, [&](QPainter& painter) { layout.DrawStrip(painter, strip); });
        const double cm = layout.ReportCm();
        const int left = strip.rect.left(), top = strip.rect.top() + 3;
        // What the strip added to its grid in a box: the pixels and the rows they span.
        struct Ink { int pixels = 0, top = -1, bottom = -1; };
        const auto inkIn = [&](int x0, int x1, int y0, int y1) {
            Ink ink;
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    if (Dark(page, x, y) && !Dark(grid, x, y)) {
                        ++ink.pixels;
                        ink.top = ink.top < 0 ? y : ink.top;
                        ink.bottom = y;
                    }
            return ink;
        };
        const auto between = [&](double fromCm, double toCm) {
            return inkIn(int(left + fromCm * cm), int(left + toCm * cm), top, strip.rect.bottom() - 3);
        };
        EXPECT_GT(between(1.0, 2.1).pixels, 50);   // the name is there ...
        // A wide one is made just small enough to fit.
        EXPECT_TRUE(lead == kLeadI || lead == kLeadV6 || between(1.85, 2.1).pixels > 0);
        EXPECT_EQ(between(2.1, 2.95).pixels, 0);   // ... and clear of the pulse's place
        if (lead == kLeadI) {  // the same size on paper at any resolution: 22.5 points high
            const Ink name = between(1.35, 1.65);
            EXPECT_NEAR((name.bottom - name.top + 1) / double(dpi), 0.225, 0.007);
        }
        // The filter label "OFF" stands on the strip's middle 5 mm line, on white of its own:
        // under it the line gives way to the letters.
        const int line = static_cast<int>(strip.rect.top() + 2.5 * cm + 0.5);
        const QFontMetrics fm(QFont("Arial", 10), &page);
        const int from = left + 2 * layout.PenWidth();
        const int to = from + fm.horizontalAdvance("OFF");
        int lineDark = 0, labelDark = 0;
        for (int x = from; x < to; ++x) {
            lineDark += Dark(grid, x, line);
            labelDark += Dark(page, x, line);
        }
        EXPECT_EQ(lineDark, to - from);
        EXPECT_GT(to - from - labelDark, (to - from) / 4);
        EXPECT_FALSE(Dark(page, from - 1, line));
        EXPECT_TRUE(Dark(page, to + 3 * layout.PenWidth(), line));  // beyond the label it goes on
        // The speed stands a line above the filter (the gain code 3 has no gain line below).
        EXPECT_GT(inkIn(from, to, top, line - fm.height()).pixels, 0);
    }
}
