// The whole engine, fed the way record playback feeds it with synthetic records: rate and QTc
// come out exactly from a whole-sample RR, flat leads stay zero, and the record-wide state does
// not leak from one record into the next.
#include "analysis/AnalysisEngine.h"

#include "analysis/Measurements.h"
#include "app/LanguageTable.h"
#include "tools/SyntheticEcg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// One record as playback feeds it: twelve segments of 3200 packets, every second packet pushed.
int Play(AnalysisEngine& engine, const std::vector<DevicePacket>& packets, ConclusionLines& lines,
         const LanguageTable& language)
{
    engine.ClearRecordState();
    engine.ResetLeadState();
    engine.EmptyInput();
    for (size_t i = 0; i < packets.size(); ++i) {
        const PacketFields f = ExtractFields(packets[i].data());
        if (i % 2 == 0)
            engine.PushSample(f.sample);
        engine.ProcessSample(f.leadIndex);
        if ((i + 1) % kPacketsPerLead == 0) {
            engine.FinishLead(f.leadIndex);
            engine.ResetLeadState();
            engine.EmptyInput();
        }
    }
    return engine.RunAnalysis(lines, language);
}

std::vector<DevicePacket> Regular(double heartRate)
{
    EcgParameters p;
    p.heartRate = heartRate;
    return SynthesizeRecord(p);
}

LanguageTable English()
{
    LanguageTable table;
    table.SetDirectory(std::string(CORVIDA_SOURCE_DIR) + "/language");
    table.Scan();
    table.Load("English");
    return table;
}

TEST(AnalysisEngine, WholeSampleRrGivesExactRateAndQtc)
{
    // 75 per minute is 320 samples between beats in every lead: ReferenceRr 800 ms, a QTc
    // divisor of 28.
    const LanguageTable english = English();
    AnalysisEngine engine;
    ConclusionLines lines;
    const int first = Play(engine, Regular(75), lines, english);
    const MeasurementSet& m = engine.Measurements();
    EXPECT_EQ(m.heartRate, 75);
    EXPECT_GT(m.qt, 0);
    EXPECT_EQ(m.qtc, static_cast<int32_t>(std::sqrt(1000.0) * m.qt / 28));

    const WavePoints& g = engine.GlobalWavePoints();
    EXPECT_EQ(g.fiducial, kBeatFiducial);
    EXPECT_LT(g.pOnset, g.pEnd);
    EXPECT_LE(g.pEnd, g.qrsOnset);
    EXPECT_LT(g.qrsOnset, kBeatFiducial);
    EXPECT_GT(g.qrsEnd, kBeatFiducial);
    EXPECT_LT(g.qrsEnd, g.tEnd);

    EXPECT_NE(engine.Diagnosis()[11], 0);
    ASSERT_GE(first, 2);
    ASSERT_LE(first, 8);
    EXPECT_EQ(lines.line[9], "in gear Sinus mode Target rate");
    EXPECT_EQ(lines.line[first], "<<**Report need physician confirm**>>");

    // The record-wide rhythm is gone once the analysis has run.
    EXPECT_EQ(engine.Rhythm().ReferenceRr(), 0);
    for (const RrStatistic& st : engine.Rhythm().Statistics())
        EXPECT_EQ(st.mean, 0);
}

TEST(AnalysisEngine, SameRecordTwiceGivesTheSameResults)
{
    // Nothing of the first analysis may steer the second: the ReferenceRr of the first record
    // would otherwise drop beats of the second, and a stale average would shift its waves.
    const LanguageTable english = English();
    AnalysisEngine fresh;
    ConclusionLines expectedLines;
    const int expectedFirst = Play(fresh, Regular(80), expectedLines, english);

    AnalysisEngine reused;
    ConclusionLines lines;
    Play(reused, Regular(48), lines, english);
    const int first = Play(reused, Regular(80), lines, english);

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
    std::vector<DevicePacket> packets = Regular(75);
    for (int i = kLeadV3 * kPacketsPerLead; i < (kLeadV3 + 1) * kPacketsPerLead; ++i)
        packets[i] = MakePacket(kLeadV3, kBaseline);
    Play(engine, packets, lines, english);
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
    std::vector<DevicePacket> packets = Regular(75);
    for (int i = 0; i < kPacketsPerRecord; ++i)
        packets[i] = MakePacket(static_cast<uint8_t>(i / kPacketsPerLead), kBaseline);
    Play(engine, packets, lines, english);
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
    Play(engine, Regular(75), lines, english);
    ASSERT_NE(engine.Diagnosis()[11], 0);
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
