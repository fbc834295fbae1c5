// Delineation of the average beats on hand-worked velocity ramps.
#include "analysis/Delineation.h"
#include "analysis/SignalConditioning.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

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

TEST(Delineation, FirstPassLooksForNothingButTheQrs)
{
    AverageBeatMatrix a = RampsOnLeadI();
    WavePoints w;
    DelineateGlobal(a, 0, 617, w);
    EXPECT_EQ(w.pOnset, 0);
    EXPECT_EQ(w.tEnd, 0);
}

TEST(Delineation, TEndAllowanceIsTruncatedStepByStep)
{
    // QRS end 134 + (617 x 45 / 100 = 277) x 400 / 1000 = 110 (one product would give 111);
    // the T end is the first quiet run after that.
    for (const auto& [rr, tEnd] : {std::pair{617, 244}, {600, 134 + 108}}) {
        AverageBeatMatrix a = RampsOnLeadI();
        WavePoints w;
        DelineateGlobal(a, 0, rr, w);
        CorrectIsoelectric(a, w.qrsOnset);
        DelineateGlobal(a, 1, rr, w);
        EXPECT_EQ(w.tEnd, tEnd) << rr;
    }
}

}  // namespace
