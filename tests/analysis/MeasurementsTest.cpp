// Measurement formulas and the per-lead wave measurements on hand-built average beats.
#include "analysis/Measurements.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

TEST(Measurements, HeartRateAndQtcWithTheTruncatedRoot)
{
    EXPECT_EQ(HeartRate(800), 75);
    EXPECT_EQ(HeartRate(1000), 60);
    EXPECT_EQ(HeartRate(1001), 59);
    EXPECT_EQ(HeartRate(0), 60000);  // divides by at least 1
    EXPECT_EQ(CorrectedQt(400, 800), 451);   // sqrt 800 = 28.28 -> 28
    EXPECT_EQ(CorrectedQt(400, 1000), 408);  // divisor 31, not 31.62
    EXPECT_EQ(CorrectedQt(360, 600), 474);   // sqrt 600 = 24.49 -> 24: 31.62 * 360 / 24
    EXPECT_EQ(CorrectedQt(0, 800), 0);
}

TEST(Measurements, QrsShapeLabelLetters)
{
    struct Case {
        int32_t q, r, s, r2, s2;
        const char* label;
    };
    const Case cases[] = {
        {0, 1200, -300, 800, 0, "RsR'"},
        {-500, 500, -500, 500, -500, "qrsr's'"},
        {-501, 501, -501, 501, -501, "QRSR'S'"},
        {-29, 29, -29, 29, -29, ""},
        {-30, 30, -30, 30, -30, "qrsr's'"},
        {-120, 1000, -250, 0, 0, "qRs"},
        {0, 900, -1500, 1100, 0, "RSR'"},
    };
    for (const Case& c : cases) {
        LeadMeasurements v{};
        v[kFieldQ] = c.q;
        v[kFieldR] = c.r;
        v[kFieldS] = c.s;
        v[kFieldR2] = c.r2;
        v[kFieldS2] = c.s2;
        EXPECT_EQ(std::string(LabelText(BuildQrsShapeLabel(v))), c.label);
    }
}

// One lead (V2) drawn sample by sample on a level of 7 units; everything else 0.
constexpr int kLevel = 7;
AverageBeatMatrix OneLead(const std::map<int, int32_t>& deviation)
{
    AverageBeatMatrix a;
    for (int k = 0; k < kBeatSamples; ++k)
        a.At(k, kLeadV2) = kLevel;
    for (auto [k, d] : deviation)
        a.At(k, kLeadV2) = kLevel + d;
    return a;
}

WavePoints LeadPoints()
{
    WavePoints w;
    w.pOnset = 40;
    w.pEnd = 60;
    w.qrsOnset = 100;
    w.qrsEnd = 130;
    w.tOnset = 170;
    w.tEnd = 230;
    return w;
}

// A part's end is its boundary position: the first sample past the crossing, or the QRS end.
// Both the half-amplitude level of the right side and the tail test of the last wave take the
// value there, not the part's last sample.
TEST(Measurements, HalfWidthAndTailTestUseTheValueAtTheEndPosition)
{
    std::map<int, int32_t> d;
    const int32_t r[] = {10, 30, 50, 70, 80, 70, 60, 50, 40, 30, 20, 10};
    for (int i = 0; i < 12; ++i)
        d[100 + i] = r[i];
    const int32_t s[] = {-40, -40, -30, -20, -10, -5, -3, -2, -1, -1};
    for (int i = 0; i < 10; ++i)
        d[112 + i] = s[i];
    LeadMeasurements v = MeasureLead(OneLead(d), kLeadV2, LeadPoints());
    EXPECT_EQ(v[kFieldR], 1000);
    EXPECT_EQ(v[kFieldRd], 30);
    // Left level (10 + 80) / 2 reached at 102; right level (-40 + 80) / 2 from 112 down at 110.
    // With the last sample (10) the right level would be 45, reached at 107: 12 ms.
    EXPECT_EQ(v[kFieldRhw], 20);
    EXPECT_EQ(v[kFieldS], -500);
    EXPECT_EQ(v[kFieldSd], 45);   // extended over the quiet tail to the QRS end
    EXPECT_EQ(v[kFieldShw], 7);   // 112 ... 115, the level (0 - 40) / 2 counted from 130
    EXPECT_EQ(std::string(LabelText(BuildQrsShapeLabel(v))), "Rs");

    // A last wave 10 units high stands 10 clear of the QRS end value (0) though only 5 clear of
    // its own last sample: it is kept.
    d.clear();
    for (int k = 100; k < 110; ++k)
        d[k] = -20;
    for (int k = 110; k < 130; ++k)
        d[k] = k == 119 ? 9 : k == 120 ? 10 : k < 119 ? 3 : 5;
    v = MeasureLead(OneLead(d), kLeadV2, LeadPoints());
    EXPECT_EQ(v[kFieldQ], -250);
    EXPECT_EQ(v[kFieldQd], 25);
    EXPECT_EQ(v[kFieldR], 125);
    EXPECT_EQ(v[kFieldRd], 50);
    EXPECT_EQ(v[kFieldRhw], 25);  // 119 ... 129
    EXPECT_EQ(v[kFieldS], 0);
    EXPECT_EQ(std::string(LabelText(BuildQrsShapeLabel(v))), "qr");

    // Ending on 1 but with 5 at the QRS end, the same wave is only 5 clear of it: a tail, and
    // the q runs on to the QRS end as one deflection.
    for (int k = 121; k < 130; ++k)
        d[k] = 1;
    d[130] = 5;
    v = MeasureLead(OneLead(d), kLeadV2, LeadPoints());
    EXPECT_EQ(v[kFieldR], 0);
    EXPECT_EQ(v[kFieldQ], -250);
    EXPECT_EQ(v[kFieldS], -250);
    EXPECT_EQ(v[kFieldQd], 37);
    EXPECT_EQ(std::string(LabelText(BuildQrsShapeLabel(v))), "qs");
}

// Five alternating waves of 6 samples each: the fourth goes to R' or S' by its sign, the
// fifth is always S' and is taken at its minimum, even when it is positive.
TEST(Measurements, FourthAndFifthQrsWaves)
{
    struct Case {
        int sign;  // of the first wave
        int32_t r2, s2;
    } cases[] = {{-1, 375, -250}, {1, 250, 75}};
    for (const Case& c : cases) {
        std::map<int, int32_t> d;
        const int32_t height[] = {20, 40, 20, 30, 20};
        for (int w = 0; w < 5; ++w) {
            const int32_t sign = (w % 2 == 0 ? 1 : -1) * c.sign;
            const int32_t shape[] = {10, 20, 30, 30, 20, 10};
            for (int i = 0; i < 6; ++i)
                d[100 + 6 * w + i] = sign * height[w] * shape[i] / 30;
        }
        const LeadMeasurements v = MeasureLead(OneLead(d), kLeadV2, LeadPoints());
        EXPECT_EQ(v[kFieldR2], c.r2) << c.sign;
        EXPECT_EQ(v[kFieldS2], c.s2) << c.sign;
    }
}

TEST(Measurements, TPhasesOfABiphasicT)
{
    std::map<int, int32_t> d;
    for (int k = 170; k < 200; ++k)
        d[k] = -(1 + std::min(k - 170, 199 - k));  // -1 ... -15 ... -1
    for (int k = 200; k < 230; ++k)
        d[k] = 1 + std::min(k - 200, 229 - k);
    const LeadMeasurements v = MeasureLead(OneLead(d), kLeadV2, LeadPoints());
    EXPECT_EQ(v[kFieldT1], -187);
    EXPECT_EQ(v[kFieldT1 + 1], 187);
    EXPECT_EQ(v[kFieldTd1], 75);
    EXPECT_EQ(v[kFieldTd1 + 1], 75);
    EXPECT_EQ(v[kFieldT1 + 2], 0);
}

TEST(Measurements, TPhaseThatNeverLeavesItsStartIsDropped)
{
    // A first negative phase that starts at its own minimum does not move away from its start
    // value: the positive phase takes over from the T onset and adds the (smaller) negative area.
    std::map<int, int32_t> d;
    for (int k = 170; k < 190; ++k)
        d[k] = -12 + (k - 170) / 2;  // -12 rising to -3
    for (int k = 190; k < 230; ++k)
        d[k] = 1 + std::min(k - 190, 229 - k);  // 1 ... 20 ... 1
    const LeadMeasurements v = MeasureLead(OneLead(d), kLeadV2, LeadPoints());
    EXPECT_EQ(v[kFieldT1], 250);
    EXPECT_EQ(v[kFieldTd1], 150);  // 170 ... 230
    EXPECT_EQ(v[kFieldT1 + 1], 0);
    EXPECT_EQ(v[kFieldTd1 + 1], 0);
}

}  // namespace
