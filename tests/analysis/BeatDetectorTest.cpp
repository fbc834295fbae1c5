// QRS detection, averaging and the choice of the ReferenceRr, fed with hand-made SlopeEnergy and
// smoothed signals.
#include "analysis/BeatDetector.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Feeds a BeatDetector the way the engine does: each step makes one more energy position and
// one more smoothed position available (the energy count trails the smoothed count by 32), and
// the detector gets two calls per sample as in playback.
class DetectorFeed {
public:
    explicit DetectorFeed(int length) : energy(length, 0), smoothed(length, 0) {}

    // A candidate complex of the given width: the energy stays high for width - 1 positions,
    // so the complex opens one position in and closes when it has fallen.
    void AddComplex(int onset, int width, int32_t level = 1000)
    {
        for (int p = onset; p < onset + width - 1; ++p)
            energy[p] = level;
    }
    void AddSpike(int position, int32_t value) { smoothed[position] = value; }

    void Step()
    {
        ++t_;
        Write();
        rings_.energyCount = t_;
        rings_.smoothedCount = t_ + 32;
        for (int i = 0; i < 2; ++i) {
            detector.DetectionStep(rings_, referenceRr);
            detector.AveragingStep(rings_);
        }
    }
    void RunAll()
    {
        while (t_ + 40 < static_cast<int>(energy.size()))
            Step();
    }
    void RunUntilPosition(int32_t d)
    {
        while (detector.Position() < d)
            Step();
    }

    std::vector<int32_t> energy;
    std::vector<int32_t> smoothed;
    int32_t referenceRr = 0;
    BeatDetector detector;

private:
    void Write()
    {
        for (; energyWritten_ <= t_ + 29; ++energyWritten_)
            rings_.energy[WrapIndex(energyWritten_, kRingSize)] = At(energy, energyWritten_);
        for (; smoothedWritten_ <= t_ + 31; ++smoothedWritten_)
            rings_.smoothed[WrapIndex(smoothedWritten_, kRingSize)] = At(smoothed, smoothedWritten_);
    }
    static int32_t At(const std::vector<int32_t>& v, int p)
    {
        return p < static_cast<int>(v.size()) ? v[p] : 0;
    }

    SignalRings rings_;
    int t_ = 0;
    int energyWritten_ = 0;
    int smoothedWritten_ = 0;
};

TEST(BeatDetector, FiducialFollowsTheLargerDeflectionAndTiesGoToTheMaximum)
{
    struct Case {
        int32_t up, down;
        int expected;  // offset of the fiducial from the onset
    };
    // Base is the smoothed value 4 before the onset (0 here); the maximum sits 12 samples in,
    // the minimum 5.
    const Case cases[] = {{50, -50, 12}, {50, -70, 12}, {50, -71, 5}, {71, -50, 12}, {0, 0, 0}};
    for (const Case& c : cases) {
        DetectorFeed feed(800);
        feed.AddComplex(300, 30);
        if (c.up != 0)
            feed.AddSpike(312, c.up);
        if (c.down != 0)
            feed.AddSpike(305, c.down);
        feed.RunAll();
        ASSERT_EQ(feed.detector.BeatCount(), 1);
        EXPECT_EQ(feed.detector.Beat(0).fiducial, 300 + c.expected) << c.up << " " << c.down;
    }
}

TEST(BeatDetector, BeatsOffTheReferenceRrByTwentyPercentAreDropped)
{
    // ReferenceRr 1000 ms = 400 samples: the tolerance is 80 samples.
    struct Case {
        int rr;
        int beats;
    };
    const Case cases[] = {{320, 1}, {321, 2}, {479, 2}, {480, 1}, {400, 2}};
    for (const Case& c : cases) {
        DetectorFeed feed(1400);
        feed.referenceRr = 1000;
        feed.AddComplex(300, 30);
        feed.AddSpike(310, 100);
        feed.AddComplex(300 + c.rr, 30);
        feed.AddSpike(310 + c.rr, 100);
        feed.RunAll();
        EXPECT_EQ(feed.detector.BeatCount(), c.beats) << c.rr;
        EXPECT_EQ(feed.detector.Beat(1).rr, c.rr) << c.rr;  // dropped beats stay in the slot
    }
}

TEST(BeatDetector, ThresholdFollowsTheQrsPeaksAndDecaysAfterTheLastOnset)
{
    DetectorFeed feed(1400);
    feed.AddComplex(300, 30, 700);
    feed.AddComplex(700, 30, 1000);
    feed.RunUntilPosition(300);
    // 80 falls by a third at position 144, then by 5 % every 24: 53, 50, 47, 44, 41, 38, 36.
    EXPECT_EQ(feed.detector.Threshold(), 36);
    feed.RunUntilPosition(700 + 73);
    // Second beat: the peaks of slots 1, 0 ... summed over the beats before it, / 1 / 3.
    EXPECT_EQ(feed.detector.BeatCount(), 2);
    EXPECT_EQ(feed.detector.Threshold(), 1000 / 3);
    feed.RunUntilPosition(700 + 145);
    EXPECT_EQ(feed.detector.Threshold(), 1000 / 3 * 2 / 3);  // 144 samples after the onset
    feed.RunUntilPosition(700 + 169);
    EXPECT_EQ(feed.detector.Threshold(), 1000 / 3 * 2 / 3 * 95 / 100);
}

TEST(BeatDetector, RrStatisticsSkipTheFirstBeat)
{
    DetectorFeed feed(2000);
    for (int f : {300, 700, 1110, 1500}) {
        feed.AddComplex(f - 10, 30);
        feed.AddSpike(f, 100);
    }
    feed.RunAll();
    ASSERT_EQ(feed.detector.BeatCount(), 4);
    int32_t mean = 0;
    int32_t variance = 0;
    ASSERT_TRUE(feed.detector.RrStatistics(mean, variance));
    EXPECT_EQ(variance, 480200 / 3 - 400 * 400);

    DetectorFeed single(900);
    single.AddComplex(300, 30);
    single.RunAll();
    EXPECT_FALSE(single.detector.RrStatistics(mean, variance));
}

TEST(RecordRhythm, ReferenceRrComesFromTheFirstRegularLead)
{
    RecordRhythm r;
    r.FinishLead(kLeadI, true, 320, 400);  // not regular enough
    EXPECT_EQ(r.ReferenceRr(), 0);
    r.FinishLead(kLeadII, true, 320, 399);
    EXPECT_TRUE(r.FixedFromRegularLead());
    r.FinishLead(kLeadIII, true, 400, 0);  // a later regular lead changes nothing
    EXPECT_EQ(r.ReferenceRr(), 800);
}

TEST(RecordRhythm, WithoutARegularLeadTheSteadiestLeadDecidesAfterV6)
{
    RecordRhythm r;
    r.FinishLead(kLeadI, true, 300, 900);
    r.FinishLead(kLeadII, true, 333, 500);
    r.FinishLead(kLeadIII, true, 350, 500);  // equal variance: the later lead wins
    for (int lead = kLeadAVR; lead < kLeadV6; ++lead)
        r.FinishLead(lead, false, 0, 0);
    EXPECT_EQ(r.ReferenceRr(), 0);
    r.FinishLead(kLeadV6, true, 250, 2000);
    EXPECT_EQ(r.ReferenceRr(), 350 * 1000 / 400);
    EXPECT_FALSE(r.FixedFromRegularLead());
}

}  // namespace
