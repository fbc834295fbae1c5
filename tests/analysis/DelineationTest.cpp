// Delineation of the average beats on hand-worked velocity ramps.
#include "analysis/Delineation.h"
#include "analysis/SignalConditioning.h"

#include <gtest/gtest.h>

namespace {

TEST(Delineation, QrsBoundsOfARampAreWhereTheVelocityFallsQuiet)
{
    // Lead I ramps from 0 to 400 over 100 ... 140: V = 80 inside, sloping to 0 at 96 and 144.
    AverageBeatMatrix a;
    for (int k = 0; k < kBeatSamples; ++k)
        a.At(k, kLeadI) = k < 100 ? 0 : k <= 140 ? 10 * (k - 100) : 400;
    WavePoints w;
    DelineateGlobal(a, 0, 0, w);
    // thQ = 0 + 80 / 10 = 8; the window p - 4 ... p + 3 holds at most 4 values above it at 97
    // (values 10, 20, 30, 40 at 97 ... 100) and at 144.
    EXPECT_EQ(w.qrsOnset, 97);
    EXPECT_EQ(w.qrsEnd, 144);
    EXPECT_EQ(w.fiducial, kBeatFiducial);
    EXPECT_EQ(w.pOnset, 0);  // pass 0 looks for nothing else
    EXPECT_EQ(w.tEnd, 0);
}

// Lead I rising with slope 50 over 110 ... 129 (the QRS), flat to 149, then rising by 10 per
// sample to the end (a T whose velocity never falls quiet). V = 50 x (overlap of k - 4 ... k + 3
// with the QRS slope): 0 up to 106, 400 over 114 ... 126, 0 again from 134; then 10 per sample
// of overlap with the T slope, 80 from 154 on.
AverageBeatMatrix RampsOnLeadI()
{
    AverageBeatMatrix a;
    int32_t level = 0;
    for (int k = 0; k < kBeatSamples; ++k) {
        a.At(k, kLeadI) = level;
        level += k >= 110 && k < 130 ? 50 : k >= 150 ? 10 : 0;
    }
    return a;
}

TEST(Delineation, TEndAllowanceIsTruncatedStepByStep)
{
    struct Case {
        int32_t rr;
        int32_t tEnd;
    };
    const Case cases[] = {
        // QRS end 134 + (617 x 45 / 100 = 277) x 400 / 1000 = 110 (one product would give 111).
        {617, 244},
        {600, 134 + 108},
        // 134 + 180 lies beyond the last position a run of 12 can test (280 - 12).
        {1000, 268},
        // No allowance: the search runs back from the T peak and stops where the T starts.
        {0, 148},
    };
    for (const Case& c : cases) {
        AverageBeatMatrix a = RampsOnLeadI();
        WavePoints w;
        DelineateGlobal(a, 0, c.rr, w);
        CorrectIsoelectric(a, w.qrsOnset);
        DelineateGlobal(a, 1, c.rr, w);
        // thQ = 400 / 10: the window of 8 holds at most 4 values above 40 at 107 and at 134.
        EXPECT_EQ(w.qrsOnset, 107) << c.rr;
        EXPECT_EQ(w.qrsEnd, 134) << c.rr;
        // t0: first minimum over 138 ... 153; T peak: first 80; thT = 80 / 5 = 16, exceeded
        // from 148 on, so the window of 24 around 148 holds 12 loud values.
        EXPECT_EQ(w.tPeak, 154) << c.rr;
        EXPECT_EQ(w.tOnset, 148) << c.rr;
        EXPECT_EQ(w.tEnd, c.tEnd) << c.rr;
    }
}

}  // namespace
