// The whole engine, fed the way record playback feeds it, with a twelve-lead beat drawn here:
// rate and QTc come out exactly from the known RR, the waves land where they were drawn, and
// the record-wide state does not leak from one record into the next.
#include "analysis/AnalysisEngine.h"

#include "analysis/Measurements.h"
#include "app/LanguageTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

namespace {

constexpr int kPacketsPerLead = 3200;

// Amplitudes in millivolts of P, Q, R, S and T per lead: upright P and T, R-dominant complexes
// except aVR (inverted throughout) and V1, V2 (rS).
struct LeadShape {
    double p, q, r, s, t;
};
constexpr LeadShape kShapes[kLeadCount] = {
    {0.10, -0.05, 0.80, -0.10, 0.25},  // I
    {0.15, -0.05, 1.20, -0.15, 0.35},  // II
    {0.05, 0.00, 0.40, -0.10, 0.10},   // III
    {-0.12, 0.00, 0.10, -0.90, -0.30}, // aVR
    {0.05, -0.05, 0.40, -0.10, 0.10},  // aVL
    {0.10, 0.00, 0.80, -0.10, 0.20},   // aVF
    {0.08, 0.00, 0.30, -1.00, 0.15},   // V1
    {0.08, 0.00, 0.50, -1.20, 0.40},   // V2
    {0.08, 0.00, 0.90, -0.80, 0.45},   // V3
    {0.10, -0.05, 1.40, -0.40, 0.45},  // V4
    {0.10, -0.08, 1.60, -0.20, 0.40},  // V5
    {0.10, -0.08, 1.20, -0.10, 0.30},  // V6
};

double Bump(double t, double centre, double sigma)
{
    const double z = (t - centre) / sigma;
    return std::exp(-0.5 * z * z);
}

// Input units (80 per millivolt, zero line 512) at time t seconds of a lead with beats every
// rr seconds, the first R at 0.3 s.
int32_t Sample(const LeadShape& s, double t, double rr)
{
    const double phase = std::fmod(t - 0.3 + 10 * rr, rr);  // seconds since the last R
    double mv = 0;
    for (double since : {phase, phase - rr}) {
        mv += s.p * Bump(since, -0.160, 0.020);
        mv += s.q * Bump(since, -0.025, 0.006);
        mv += s.r * Bump(since, 0.0, 0.010);
        mv += s.s * Bump(since, 0.028, 0.008);
        mv += s.t * Bump(since, 0.260, 0.045);
    }
    return 512 + static_cast<int32_t>(std::lround(mv * kUnitsPerMillivolt));
}

using SampleFunction = std::function<int32_t(int lead, double seconds)>;

// One record as playback feeds it: twelve segments of 3200 packets, every second packet pushed.
int Play(AnalysisEngine& engine, const SampleFunction& sample, ConclusionLines& lines,
         const LanguageTable& language)
{
    engine.ResetLeadState();
    engine.EmptyInput();
    for (int lead = 0; lead < kLeadCount; ++lead) {
        for (int i = 0; i < kPacketsPerLead; ++i) {
            if (i % 2 == 0)
                engine.PushSample(sample(lead, i / 2 / 400.0));
            engine.ProcessSample(static_cast<uint8_t>(lead));
        }
        engine.FinishLead(static_cast<uint8_t>(lead));
        engine.ResetLeadState();
        engine.EmptyInput();
    }
    return engine.RunAnalysis(lines, language);
}

SampleFunction Regular(double rr)
{
    return [rr](int lead, double t) { return Sample(kShapes[lead], t, rr); };
}

LanguageTable English()
{
    LanguageTable table;
    table.SetDirectory(std::string(CORVIDA_SOURCE_DIR) + "/language");
    table.Scan();
    table.Load("English");
    return table;
}

TEST(AnalysisEngine, RegularRecordGivesExactRateAndWavesWhereTheyWereDrawn)
{
    const LanguageTable english = English();
    AnalysisEngine engine;
    ConclusionLines lines;
    const int first = Play(engine, Regular(0.8), lines, english);

    const MeasurementSet& m = engine.Measurements();
    // 320 samples between beats in every lead: ReferenceRr 800 ms.
    EXPECT_EQ(m.heartRate, 75);
    EXPECT_EQ(m.qtc, CorrectedQt(m.qt, 800));
    // Drawn: P 160 ms before R (about 120 ms wide), QRS about 70 ms, T peak 260 ms after R.
    EXPECT_NEAR(m.qrs, 70, 25);
    EXPECT_NEAR(m.pr, 160, 40);
    EXPECT_NEAR(m.qt, 380, 60);
    EXPECT_GT(m.pDuration, 40);
    EXPECT_GT(m.tDuration, 100);
    // Leads I and III of the QRS drawn give an axis of about atan2(2 x 0.3 + 0.65, 1.73 x 0.65).
    EXPECT_NEAR(m.qrsAxis / 10, 48, 10);
    EXPECT_GT(m.pAxis, 0);
    EXPECT_GT(m.tAxis, 0);

    const WavePoints& g = engine.GlobalWavePoints();
    EXPECT_EQ(g.fiducial, kBeatFiducial);
    EXPECT_LT(g.pOnset, g.pEnd);
    EXPECT_LE(g.pEnd, g.qrsOnset);
    EXPECT_LT(g.qrsOnset, kBeatFiducial);
    EXPECT_GT(g.qrsEnd, kBeatFiducial);
    EXPECT_LT(g.qrsEnd, g.tEnd);

    // The 30 ms moving average takes an R of 10 ms sigma down to about 72 % of its height.
    const auto& leads = engine.Leads();
    EXPECT_NEAR(leads[kLeadII][kFieldR], 0.72 * 1200, 40);
    EXPECT_NEAR(leads[kLeadV5][kFieldR], 0.72 * 1600, 40);
    EXPECT_NEAR(leads[kLeadII][kFieldT1], 350, 40);  // a broad T keeps its height
    EXPECT_EQ(LabelText(engine.QrsShapeLabels()[kLeadII]), "R");
    EXPECT_EQ(LabelText(engine.QrsShapeLabels()[kLeadAVR]), "QS");
    EXPECT_EQ(LabelText(engine.QrsShapeLabels()[kLeadV2]), "rS");
    EXPECT_EQ(leads[kLeadAVR][kFieldQ], leads[kLeadAVR][kFieldS]);

    // A sinus rhythm at 75 per minute with a normal axis; the conclusion ends with the closing
    // line right after its statements.
    const DiagnosisFlags& flags = engine.Diagnosis();
    EXPECT_NE(flags[0], 0);
    EXPECT_NE(flags[11], 0);
    EXPECT_NE(flags[22], 0);
    EXPECT_EQ(flags[12] + flags[13], 0);
    ASSERT_GE(first, 2);
    ASSERT_LE(first, 7);
    EXPECT_EQ(lines.line[9], "in gear Sinus mode Target rate");
    EXPECT_EQ(lines.line[first], "<<**Report need physician confirm**>>");

    // The record-wide rhythm is gone once the analysis has run.
    EXPECT_EQ(engine.Rhythm().ReferenceRr(), 0);
    for (const RrStatistic& s : engine.Rhythm().Statistics())
        EXPECT_EQ(s.mean, 0);
}

TEST(AnalysisEngine, RateFollowsTheRrOfTheRecord)
{
    const LanguageTable english = English();
    struct Case {
        double rr;  // seconds, a whole number of engine samples
        int32_t referenceRr;
        int32_t heartRate;
        int rhythmCode;  // 0: not checked
    };
    // At 600 ms the previous T runs into the P and the PR comes out at 230 ms, so no rhythm
    // statement is made there.
    const Case cases[] = {{1.2, 1200, 50, 12}, {1.0, 1000, 60, 11}, {0.6, 600, 100, 0},
                          {0.5, 500, 120, 13}};
    for (const Case& c : cases) {
        AnalysisEngine engine;
        ConclusionLines lines;
        Play(engine, Regular(c.rr), lines, english);
        EXPECT_EQ(engine.Measurements().heartRate, c.heartRate) << c.rr;
        EXPECT_EQ(engine.Measurements().qtc, CorrectedQt(engine.Measurements().qt, c.referenceRr))
            << c.rr;
        if (c.rhythmCode != 0) {
            EXPECT_NE(engine.Diagnosis()[c.rhythmCode], 0) << c.rr;
        }
    }
}

TEST(AnalysisEngine, SameRecordTwiceGivesTheSameResults)
{
    // Nothing of the first analysis may steer the second: the ReferenceRr of the first record
    // would otherwise drop beats of the second, and a stale average would shift its waves.
    const LanguageTable english = English();
    AnalysisEngine fresh;
    ConclusionLines expectedLines;
    const int expectedFirst = Play(fresh, Regular(0.75), expectedLines, english);

    AnalysisEngine reused;
    ConclusionLines lines;
    Play(reused, Regular(1.1), lines, english);
    const int first = Play(reused, Regular(0.75), lines, english);

    EXPECT_EQ(first, expectedFirst);
    for (int i = first; i <= 9; ++i)
        EXPECT_EQ(lines.line[i], expectedLines.line[i]);
    EXPECT_EQ(reused.Measurements().heartRate, fresh.Measurements().heartRate);
    EXPECT_EQ(reused.Measurements().qt, fresh.Measurements().qt);
    EXPECT_EQ(reused.Measurements().qrsAxis, fresh.Measurements().qrsAxis);
    EXPECT_EQ(reused.Leads(), fresh.Leads());
    EXPECT_EQ(reused.Diagnosis(), fresh.Diagnosis());
}

TEST(AnalysisEngine, FlatLeadGetsAZeroAverageBeatAndNoMeasurements)
{
    const LanguageTable english = English();
    AnalysisEngine engine;
    ConclusionLines lines;
    const SampleFunction regular = Regular(0.8);
    Play(engine, [&](int lead, double t) { return lead == kLeadV3 ? 512 : regular(lead, t); }, lines,
         english);
    for (int k = 0; k < kBeatSamples; ++k)
        ASSERT_EQ(engine.AverageBeats().At(k, kLeadV3), 0) << k;
    EXPECT_EQ(engine.Leads()[kLeadV3][kFieldR], 0);
    EXPECT_EQ(engine.Leads()[kLeadV3][kFieldS], 0);
    EXPECT_EQ(LabelText(engine.QrsShapeLabels()[kLeadV3]), "");
    EXPECT_EQ(engine.Measurements().heartRate, 75);
}

TEST(AnalysisEngine, FlatRecordHasNoRateAndKeepsEarlierValues)
{
    // With no beat anywhere there is no ReferenceRr: rate and QTc keep what the caller left
    // there, and the interval values from the empty delineation are not waves.
    const LanguageTable english = English();
    AnalysisEngine engine;
    ConclusionLines lines;
    Play(engine, [](int, double) { return 512; }, lines, english);
    EXPECT_EQ(engine.Measurements().heartRate, 0);
    EXPECT_EQ(engine.Measurements().qtc, 0);
    EXPECT_EQ(engine.Measurements().pDuration, 0);
    EXPECT_EQ(engine.Measurements().pr, 0);
    EXPECT_EQ(engine.Measurements().tDuration, 0);
    EXPECT_EQ(engine.Measurements().qt, 0);
    EXPECT_EQ(engine.Measurements().qrsAxis, 0);
    EXPECT_EQ(engine.Diagnosis()[11] + engine.Diagnosis()[12] + engine.Diagnosis()[13], 0);
}

TEST(AnalysisEngine, ResetLeadStateClearsLabelsAndFlagsButKeepsMeasurements)
{
    const LanguageTable english = English();
    AnalysisEngine engine;
    ConclusionLines lines;
    Play(engine, Regular(0.8), lines, english);
    ASSERT_NE(engine.Diagnosis()[22], 0);
    const int32_t rate = engine.Measurements().heartRate;
    engine.ResetLeadState();
    for (int32_t f : engine.Diagnosis())
        ASSERT_EQ(f, 0);
    for (const QrsShapeLabel& l : engine.QrsShapeLabels())
        ASSERT_EQ(LabelText(l), "");
    EXPECT_EQ(engine.Detector().Threshold(), 80);
    EXPECT_EQ(engine.Rings().smoothedCount, 0);
    EXPECT_EQ(engine.Measurements().heartRate, rate);
    engine.ClearResults();
    EXPECT_EQ(engine.Measurements().heartRate, 0);
    EXPECT_EQ(engine.Leads()[kLeadII][kFieldR], 0);
}

}  // namespace
