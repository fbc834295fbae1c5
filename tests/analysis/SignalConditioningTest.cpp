// Moving average, SlopeEnergy and the shared primitives on short inputs worked out by hand.
#include "analysis/AnalysisEngine.h"
#include "analysis/SignalConditioning.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Pushes the samples and runs one smoothing and one slope step after each, as playback does.
SignalRings Condition(const std::vector<int32_t>& samples)
{
    SignalRings rings;
    for (int32_t v : samples) {
        rings.Push(v);
        rings.SmoothingStep();
        rings.SlopeStep();
        rings.SmoothingStep();
        rings.SlopeStep();
    }
    return rings;
}

TEST(SignalConditioning, FirstSmoothedValueNeedsFifteenSamples)
{
    SignalRings rings;
    for (int i = 0; i < 14; ++i) {
        rings.Push(100);
        rings.SmoothingStep();
    }
    EXPECT_EQ(rings.smoothedCount, 0);
    rings.Push(100);
    rings.SmoothingStep();
    EXPECT_EQ(rings.smoothedCount, 1);
    EXPECT_EQ(rings.Smoothed(0), 100);
}

TEST(SignalConditioning, SmoothedValueUsesTheTwelveInputsFromItsOwnPosition)
{
    std::vector<int32_t> x(40, 0);
    for (int i = 0; i < 12; ++i)
        x[i] = i + 1;  // 1 ... 12, sum 78
    x[12] = 100000;    // just outside the window of position 0
    const SignalRings rings = Condition(x);
    EXPECT_EQ(rings.Smoothed(0), 78 / 12);
    EXPECT_EQ(rings.Smoothed(1), (78 - 1 + 100000) / 12);
}

TEST(SignalConditioning, SmoothingTruncatesTowardZero)
{
    std::vector<int32_t> x(30, 0);
    x[0] = -13;  // position 0: -13 / 12 = -1 (floor would give -2)
    x[13] = -11; // position 2 ... 13 hold -11: -11 / 12 = 0 (floor would give -1)
    const SignalRings rings = Condition(x);
    EXPECT_EQ(rings.Smoothed(0), -1);
    EXPECT_EQ(rings.Smoothed(2), 0);
    EXPECT_EQ(rings.Smoothed(13), 0);
}

TEST(SignalConditioning, StepOfTwelveUnitsGivesRampAndSlopeEnergy)
{
    const int s = 100;
    std::vector<int32_t> x(300, 0);
    for (int p = s; p < 300; ++p)
        x[p] = 12;
    const SignalRings rings = Condition(x);
    for (int p = s - 20; p <= s - 12; ++p)
        EXPECT_EQ(rings.Smoothed(p), 0) << p;
    for (int p = s - 12; p <= s; ++p)
        EXPECT_EQ(rings.Smoothed(p), p - (s - 12)) << p;
    EXPECT_EQ(rings.Smoothed(s + 5), 12);

    // (y[p+2] - y[p-2])^2 across the ramp: 1, 4, 9, then 16 nine times, then 9, 4, 1.
    EXPECT_EQ(rings.Energy(s - 14), 0);
    EXPECT_EQ(rings.Energy(s - 13), 1);
    EXPECT_EQ(rings.Energy(s - 12), 4);
    EXPECT_EQ(rings.Energy(s - 11), 9);
    for (int p = s - 10; p <= s - 2; ++p)
        EXPECT_EQ(rings.Energy(p), 16) << p;
    EXPECT_EQ(rings.Energy(s - 1), 9);
    EXPECT_EQ(rings.Energy(s), 4);
    EXPECT_EQ(rings.Energy(s + 1), 1);
    EXPECT_EQ(rings.Energy(s + 2), 0);
}

TEST(SignalConditioning, EnergyLagsAndNeverCoversTheFirstThirtyPositions)
{
    // A ramp has energy everywhere it can be computed.
    std::vector<int32_t> x(200);
    for (int p = 0; p < 200; ++p)
        x[p] = 3 * p;
    SignalRings rings = Condition(x);
    for (int p = 0; p < 30; ++p)
        EXPECT_EQ(rings.Energy(p), 0) << p;
    EXPECT_EQ(rings.Energy(30), 144);  // (3 * 4)^2
    // Once the input stops, the slope steps catch up to 32 positions behind the smoothing.
    EXPECT_EQ(rings.smoothedCount - rings.energyCount, 32);
}

TEST(SignalConditioning, ConstantInputYieldsNoEnergyNoBeatsAndZeroAverageBeat)
{
    AnalysisEngine engine;
    engine.ClearRecordState();
    engine.ResetLeadState();
    engine.EmptyInput();
    for (int i = 0; i < 3200; ++i) {
        if (i % 2 == 0)
            engine.PushSample(512);
        engine.ProcessSample(0);
    }
    for (int p = engine.Rings().energyCount; p < engine.Rings().energyCount + 30; ++p)
        EXPECT_EQ(engine.Rings().Energy(p), 0);
    EXPECT_EQ(engine.Detector().BeatCount(), 0);
    engine.FinishLead(0);
    for (int k = 0; k < kBeatSamples; ++k)
        ASSERT_EQ(engine.AverageBeats().At(k, 0), 0);
    EXPECT_EQ(engine.Rhythm().ReferenceRr(), 0);
}

TEST(SignalPrimitives, FindExtremesTakesTheEarliestOfEqualExtremes)
{
    const std::vector<int32_t> v = {5, 9, 1, 9, 1, 7};
    Extremes e = FindExtremes(v.data(), 6, 0, 6);
    EXPECT_EQ(e.maxPos, 1);
    EXPECT_EQ(e.minPos, 2);
    EXPECT_EQ(e.maxValue, 9);
    EXPECT_EQ(e.minValue, 1);
    // An empty range answers with its start.
    e = FindExtremes(v.data(), 6, 3, 3);
    EXPECT_EQ(e.maxPos, 3);
    EXPECT_EQ(e.minPos, 3);
    EXPECT_EQ(e.maxValue, 9);
    // Positions wrap around the length, and stride/offset pick one column.
    e = FindExtremes(v.data(), 6, -2, 1);  // positions -2, -1, 0 are entries 4, 5, 0
    EXPECT_EQ(e.maxPos, -1);
    EXPECT_EQ(e.minPos, -2);
    e = FindExtremes(v.data(), 3, 0, 3, 2, 1);  // column 1: 9, 9, 7
    EXPECT_EQ(e.maxPos, 0);
    EXPECT_EQ(e.minPos, 2);
}

TEST(SignalPrimitives, FindQuietPoint)
{
    std::array<int32_t, kBeatSamples> v{};
    for (int k = 100; k < 140; ++k)
        v[k] = 50;
    struct Case {
        int32_t start, limit;
        int run;
        int32_t threshold;
        int32_t expected;
    };
    const Case cases[] = {
        {120, 80, 4, 10, 100},   // window 96 ... 103: 4 loud samples
        {120, 160, 4, 10, 140},  // window 136 ... 143: 4 loud samples
        {120, 80, 4, 60, 120},   // nothing above the threshold: the start is quiet
        {120, 120, 4, 10, 120},  // start equals limit: returned as it is
        {120, 110, 4, 10, 110},  // no quiet point before the limit
        {120, 0, 4, 10, 100},    // the limit is clamped into 4 ... 276 first
        {300, 290, 4, 10, 276},  // so is the start
        {120, 80, 5, 10, 100},   // a longer run: window 95 ... 104 holds 5 loud samples
        {130, 80, 2, 10, 100},   // a short run: window 98 ... 101 holds 2
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindQuietPoint(v, c.start, c.limit, c.run, c.threshold), c.expected)
            << c.start << "->" << c.limit << " r " << c.run;
}

TEST(SignalPrimitives, SpatialVelocityAddsAbsoluteDifferencesOfAllLeads)
{
    AverageBeatMatrix a;
    for (int k = 0; k < kBeatSamples; ++k) {
        a.At(k, 0) = k;       // slope 1: |A[k+4] - A[k-4]| = 8
        a.At(k, 5) = -3 * k;  // slope -3: 24
    }
    BeatSignal v;
    ComputeSpatialVelocity(a, v);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(v[k], 0);
        EXPECT_EQ(v[kBeatSamples - 1 - k], 0);
    }
    for (int k = 4; k <= 275; ++k)
        ASSERT_EQ(v[k], 32) << k;
}

TEST(SignalPrimitives, IsoelectricCorrectionUsesThreeSamplesBeforeTheOnset)
{
    AverageBeatMatrix a;
    for (int lead = 0; lead < kLeadCount; ++lead)
        for (int k = 0; k < kBeatSamples; ++k)
            a.At(k, lead) = 1000;  // the onset and everything else far off the PR level
    const int q = 100;
    a.At(q - 6, 3) = 10;
    a.At(q - 7, 3) = 11;
    a.At(q - 8, 3) = 12;  // level (10 + 11 + 12) / 3 = 11
    a.At(q - 6, 4) = -1;
    a.At(q - 7, 4) = -1;
    a.At(q - 8, 4) = 0;  // level -2 / 3 = 0 (truncated toward zero)
    CorrectIsoelectric(a, q);
    EXPECT_EQ(a.At(q, 0), 0);
    EXPECT_EQ(a.At(q, 3), 989);
    EXPECT_EQ(a.At(q - 7, 3), 0);
    EXPECT_EQ(a.At(q, 4), 1000);
}

}  // namespace
