// The lead panels: where a sample lands, how the sweep wraps and erases, when a panel starts
// afresh, and the label texts.
#include <gtest/gtest.h>

#include <QImage>
#include <vector>

#include "device/RecorderLabels.h"
#include "record/DisplayPoint.h"
#include "tests/support/QtApp.h"
#include "tests/support/ShippedLanguage.h"
#include "ui/WaveformDisplay.h"

namespace {

// Panels 200 wide and 90 high, 100 pixels apart vertically, label strips 100 wide on their left.
constexpr int kLeft = 100;
constexpr int kWidth = 200;
constexpr int kHeight = 90;
constexpr int kMiddle = kHeight / 2;  // inside the panel
constexpr int kZeroLine = WaveformDisplay::kZeroLine;

class Panels : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureQtApp();
        language = ShippedLanguage();
        std::array<QRect, kLeadCount> leads;
        std::array<QRect, kLeadCount> labels;
        for (int i = 0; i < kLeadCount; ++i) {
            const int top = i * 100;
            leads[i] = QRect(QPoint(kLeft, top), QPoint(kLeft + kWidth, top + kHeight));
            labels[i] = QRect(QPoint(0, top), QPoint(kLeft, top + kHeight));
        }
        display.SetLayout(leads, labels);
    }
    // True when the pixel (x, y) of lead I's panel, counted inside the panel, is trace black.
    bool Black(int x, int y) const { return display.Panel(kLeadI).pixel(x, y) == qRgb(0, 0, 0); }
    bool PanelIsBare(int lead) const { return display.Panel(lead) == display.Grid(); }

    LanguageTable language;
    WaveformDisplay display{language};
};

}  // namespace

TEST_F(Panels, SampleLandsOnItsRowTruncatedTowardTheMiddleAndClampedToThePanel)
{
    const struct {
        int sample;
        int row;  // inside the panel
    } cases[] = {
        {192, kMiddle}, {191, kMiddle}, {193, kMiddle},  // the zero line; half a pixel truncates to none
        {185, kMiddle + 3}, {200, kMiddle - 4},          // 3.5 pixels down, 4 up: larger samples are higher
        {272, kMiddle - 40},                             // one millivolt: 80 units, 10 mm of 4 pixels
        {1023, 0}, {0, kHeight},                         // far above and below: the edges
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sample);
        display.ResetAllLeadPens(true);
        display.DrawPoint(0, c.sample);
        EXPECT_EQ(display.Pen(0), QPoint(kLeft + 1, c.row));
        EXPECT_TRUE(Black(1, c.row));
        // The step from the middle is one connected stroke over the two columns.
        for (int y = std::min(kMiddle, c.row); y <= std::max(kMiddle, c.row); ++y)
            EXPECT_TRUE(Black(0, y) || Black(1, y)) << y;
    }
}

TEST_F(Panels, ReviewDrawsTheChosenSecondsAndLabelsEachLeadFromItsOwnPoints)
{
    // A record's point list: 80 points per second, 4 s (320 points) per lead in lead order, V6
    // missing; each lead's points carry their own gain (as shown: code + 1) and filter codes,
    // and lead I overflows in its second half. Each lead is a 1 mV square wave.
    std::vector<DisplayPoint> points(11 * 320);
    for (std::size_t i = 0; i < points.size(); ++i) {
        DisplayPoint& p = points[i];
        p.leadIndex = static_cast<uint8_t>(i / 320);
        p.sample = static_cast<int16_t>(i % 40 < 20 ? kZeroLine + 80 : kZeroLine);
        p.gainCode = static_cast<uint8_t>(1 + (p.leadIndex + 1) % 3);
        p.filterCode = static_cast<uint8_t>(p.leadIndex % 6);
        p.modeFlag = p.leadIndex == kLeadV5;
        p.rangeFlag = i >= 160 && i < 320;
    }
    display.UpdateLeadLabels(kLeadI, 3, 1, 5, 0, 0);  // live state that must not show through

    // One second: lead I's pen has gone 80 pixels, which the speed label must account for.
    display.DrawReview(points.data(), points.size(), 80);
    const QString speed = display.LabelText(kLeadI, 1);
    ASSERT_TRUE(speed.endsWith("mm/s")) << speed.toStdString();
    EXPECT_EQ(speed.chopped(4).toDouble() * WaveformDisplay::kFineStep, display.Pen(kLeadI).x() - kLeft);
    EXPECT_EQ(display.LabelText(kLeadI, 5), "IN RANGE");  // the point at the pen, not the last
    EXPECT_EQ(display.Pen(kLeadI).y(), kMiddle);
    // The millivolt at lead I's 10 mm/mV: ten 4-pixel millimetres above the zero line.
    display.DrawReview(points.data(), points.size(), 20);
    EXPECT_EQ(display.Pen(kLeadI).y(), kMiddle - 10 * WaveformDisplay::kFineStep);

    display.DrawReview(points.data(), points.size(), 12 * 80);
    for (int lead = 0; lead < kLeadCount; ++lead) {
        SCOPED_TRACE(lead);
        EXPECT_EQ(PanelIsBare(lead), lead >= 3);
        EXPECT_EQ(display.LabelText(lead, 0), WaveformDisplay::LeadName(lead));
        const bool held = lead < kLeadV6;  // undrawn leads state their first point
        const QString texts[5] = {
            held ? "20mm/s" : "", held ? FilterText(lead % 6) : "",
            held ? GainText((lead + 1) % 3) : "",
            held ? (lead == kLeadV5 ? "DEMO" : "MONITOR") : "",
            held ? (lead == kLeadI ? "OVERFLOW" : "IN RANGE") : ""};
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(display.LabelText(lead, k + 1), texts[k]) << k;
    }

    display.DrawReview(points.data(), points.size(), points.size());
    for (int lead = 0; lead < kLeadCount; ++lead)
        EXPECT_EQ(PanelIsBare(lead), lead == kLeadV6) << lead;
    display.LeaveReview();
    for (int lead = 0; lead < kLeadCount; ++lead)
        EXPECT_TRUE(PanelIsBare(lead)) << lead;
    EXPECT_EQ(display.LabelText(kLeadI, 1), "50mm/s");  // the live labels are back
    EXPECT_EQ(display.LabelText(kLeadI, 2), "60Hz+");
}
