// Measurement formulas and the per-lead wave measurements on hand-built average beats.
#include "analysis/Measurements.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

TEST(Measurements, RateAndQtcWithoutAnRrDivideByNothing)
{
    EXPECT_EQ(HeartRate(0), 60000);
    EXPECT_EQ(CorrectedQt(400, 0), 0);
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

}  // namespace
