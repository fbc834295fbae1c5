// Whole records from the synthetic generator, written to real files and read back through the
// review loader, against the values the generator was built with.
//
// The algorithm is fixed, and these are the biases it shows on clean records (48 s, 4 s per
// lead), which the tolerances below are built around:
// - the rate is exact to the bpm: the RR is a whole number of samples in every lead;
// - the 30 ms moving average widens every wave edge: QRS +20 ... +32 ms, P +30 ... +55 ms,
//   QT +5 ... +35 ms up to 90 bpm (PR within 10 ms); above 100 bpm the T-end allowance (45 % of
//   RR after the QRS end) cuts the T short and QT comes out 40 ... 80 ms low;
// - QTc is further raised by the root of the RR being truncated (up to +3.5 %);
// - R(V5) and S(V1) are 70 ... 90 % of the model's peaks (the narrower the QRS, the lower),
//   the moving average taking the peak down;
// - the QRS axis is within 3° unless a limb lead (I or III) is nearly perpendicular to the QRS:
//   that lead then has no detectable beat, its average beat is all zero, and the axes of all
//   three waves collapse onto 30° (III zero) or 90° (I zero).
#include "analysis/AnalysisEngine.h"
#include "analysis/Measurements.h"
#include "app/LanguageTable.h"
#include "record/RecordFile.h"
#include "tests/support/ShippedLanguage.h"
#include "tests/support/TempDir.h"
#include "tools/SyntheticEcg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

struct Analysed {
    ReviewOutcome outcome;
    ReviewRecord review;
    ConclusionLines lines;
    EcgGroundTruth truth;
};

void WriteRecord(const std::filesystem::path& path, const std::vector<DevicePacket>& packets)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(packets.data(), kPacketBytes, packets.size(), f), packets.size());
    std::fclose(f);
}

Analysed Analyse(const EcgParameters& p, AnalysisEngine& engine, const std::string& name = "m.cv")
{
    TempDir dir;
    const std::filesystem::path path = dir.Path() / name;
    WriteRecord(path, SynthesizeRecord(p));
    Analysed a;
    a.truth = GroundTruth(p);
    engine.ClearResults();
    a.outcome = LoadForReview(path, engine, ShippedLanguage(), a.lines, a.review);
    return a;
}

struct Case {
    const char* name;
    double hr, qrs, qt, qrsAxis;
};

// The demo records' goldens pin 72, 48 and 125 bpm and a wide QRS exactly; these add the
// accuracy against the model at other shapes and axes.
const Case kCases[] = {
    {"90 bpm", 90, 90, 380, 45},
    {"narrow QRS", 72, 70, 380, 45},
    {"long QT", 72, 90, 420, 45},
    {"short QT", 72, 90, 340, 45},
    {"axis 0", 72, 90, 380, 0},
    {"axis -20", 72, 90, 380, -20},
};

EcgParameters Parameters(const Case& c)
{
    EcgParameters p;
    p.heartRate = c.hr;
    p.qrs = c.qrs;
    p.qt = c.qt;
    p.qrsAxis = c.qrsAxis;
    return p;
}

TEST(WholeRecord, MeasurementsLandNearTheModel)
{
    AnalysisEngine engine;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const Analysed a = Analyse(Parameters(c), engine);
        ASSERT_EQ(a.outcome, ReviewOutcome::Loaded);
        ASSERT_TRUE(a.review.analysed);
        EXPECT_EQ(a.review.leadsSeen, 12);
        EXPECT_EQ(a.review.pageCount, 48);
        const MeasurementSet& m = engine.Measurements();
        const EcgGroundTruth& t = a.truth;

        EXPECT_NEAR(m.heartRate, t.heartRate, 1);
        EXPECT_GE(m.qrs - t.qrs, 10);
        EXPECT_LE(m.qrs - t.qrs, 35);
        EXPECT_GE(m.pDuration - t.pDuration, 10);
        EXPECT_LE(m.pDuration - t.pDuration, 60);
        EXPECT_NEAR(m.pr, t.pr, 20);
        EXPECT_GE(m.qt - t.qt, 0);
        EXPECT_LE(m.qt - t.qt, 40);
        EXPECT_GE(m.qtc, t.qtc);
        EXPECT_NEAR(m.qrsAxis / 10, t.qrsAxis, 3);
        EXPECT_NEAR(m.tAxis / 10, t.tAxis, 3);
        EXPECT_NEAR(m.pAxis / 10, t.pAxis, 8);

        const double rV5 = engine.Leads()[kLeadV5][kFieldR];
        const double sV1 = -engine.Leads()[kLeadV1][kFieldS];
        EXPECT_GT(rV5, 0.70 * t.rV5);
        EXPECT_LT(rV5, 0.95 * t.rV5);
        EXPECT_GT(sV1, 0.70 * t.sV1);
        EXPECT_LT(sV1, 0.95 * t.sV1);

        for (int code : {11, 12, 13})
            EXPECT_EQ(engine.Diagnosis()[code] != 0, code == 11) << code;
    }
}

TEST(WholeRecord, ShortRecordIsNotAnalysedAndShowsNothing)
{
    // 20 s reach lead aVL only: the results of the record before must not show.
    AnalysisEngine engine;
    const Analysed full = Analyse(EcgParameters{}, engine);
    ASSERT_TRUE(full.review.analysed);
    EcgParameters p;
    p.seconds = 20;
    const Analysed a = Analyse(p, engine);
    EXPECT_EQ(a.outcome, ReviewOutcome::Loaded);
    EXPECT_FALSE(a.review.analysed);
    EXPECT_EQ(a.review.leadsSeen, 5);
    EXPECT_EQ(a.review.pageCount, 20);
    EXPECT_EQ(engine.Measurements().heartRate, 0);
    EXPECT_EQ(engine.Leads()[kLeadII][kFieldR], 0);
    for (int32_t f : engine.Diagnosis())
        ASSERT_EQ(f, 0);
}

}  // namespace
