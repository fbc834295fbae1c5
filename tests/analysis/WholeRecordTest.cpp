// A model record written to a real file and read back through the review loader. The goldens
// (AnalyzeToolTest) pin what the analysis makes of whole records; this is what a partial one
// leaves behind.
#include "analysis/AnalysisEngine.h"
#include "record/RecordFile.h"
#include "tests/support/ShippedLanguage.h"
#include "tests/support/PacketFile.h"
#include "tests/support/TempDir.h"
#include "tools/SyntheticEcg.h"

#include <gtest/gtest.h>


namespace {

ReviewRecord Review(const EcgParameters& p, AnalysisEngine& engine)
{
    TempDir dir;
    WritePackets(dir.Path() / "m.cv", SynthesizeRecord(p));
    ConclusionLines lines;
    ReviewRecord review;
    EXPECT_EQ(LoadForReview(dir.Path() / "m.cv", engine, ShippedLanguage(), lines, review),
              ReviewOutcome::Loaded);
    return review;
}

TEST(WholeRecord, ShortRecordIsNotAnalysedAndShowsNothing)
{
    // 20 s reach lead aVL only: the results of the record before must not show.
    AnalysisEngine engine;
    ASSERT_TRUE(Review(EcgParameters{}, engine).analysed);
    EcgParameters p;
    p.seconds = 20;
    const ReviewRecord review = Review(p, engine);
    EXPECT_FALSE(review.analysed);
    EXPECT_EQ(review.leadsSeen, 5);
    EXPECT_EQ(review.pageCount, 20);
    EXPECT_EQ(engine.Measurements().heartRate, 0);
    EXPECT_EQ(engine.Leads()[kLeadII][kFieldR], 0);
    for (int32_t f : engine.Diagnosis())
        ASSERT_EQ(f, 0);
}

}  // namespace
