// The interpretation rules, case by case on one quiet record that raises only "axis normal":
// every case changes a few values and lists exactly the codes that must then be raised, so a
// rule that fires too early, too late or on a neighbour's condition shows up as a difference.
// The golden records (AnalyzeToolTest) already pin much of each rule: the cases here are the
// edges those records do not reach.
#include "analysis/InterpretationRules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <set>
#include <string>

namespace {

constexpr int kSt[kLeadCount] = {100, 100, 100, 100, 100, 100, 300, 300, 300, 100, 100, 100};

// R 1000 µV and an upright T 300 µV in every lead (aVR negative with an inverted T, as it is
// normally), QRS axis 60°, QRS 100 ms. Raises code 22 only.
RuleInput QuietRecord()
{
    RuleInput in;
    in.measurements.heartRate = 75;
    in.measurements.pr = 160;
    in.measurements.pDuration = 100;
    in.measurements.qrs = 100;
    in.measurements.qrsAxis = 600.0f;
    for (int l = 0; l < kLeadCount; ++l) {
        in.leads[l][kFieldR] = 1000;
        in.leads[l][kFieldT1] = 300;
    }
    in.leads[kLeadAVR][kFieldR] = 0;
    in.leads[kLeadAVR][kFieldS] = -1000;
    in.leads[kLeadAVR][kFieldT1] = -300;
    return in;
}

void SetLabel(RuleInput& in, int lead, const char* text)
{
    in.labels[lead] = {};
    std::strncpy(in.labels[lead].data(), text, in.labels[lead].size() - 1);
}

// A pathological Q (deeper than 300 µV) with ST60 just above the lead's elevation limit
// (acute) or on it (old).
void Acute(RuleInput& in, std::initializer_list<int> leads)
{
    for (int l : leads) {
        in.leads[l][kFieldQ] = -400;
        in.leads[l][kFieldSt60] = kSt[l] + 1;
    }
}
void Old(RuleInput& in, std::initializer_list<int> leads)
{
    for (int l : leads) {
        in.leads[l][kFieldQ] = -400;
        in.leads[l][kFieldSt60] = kSt[l];
    }
}
void St60(RuleInput& in, std::initializer_list<int> leads, int32_t value)
{
    for (int l : leads)
        in.leads[l][kFieldSt60] = value;
}
void SinusP(RuleInput& in)
{
    for (int l : {kLeadI, kLeadII, kLeadAVF})
        in.leads[l][kFieldP1] = 100;
    in.leads[kLeadAVR][kFieldP1] = -100;
}

struct Case {
    const char* name;
    std::function<void(RuleInput&)> change;
    std::set<int> raised;
};

void Check(const Case& c)
{
    RuleInput in = QuietRecord();
    c.change(in);
    DiagnosisFlags flags;
    flags.fill(7);  // whatever was there before: every code is written
    ApplyInterpretationRules(in, flags);
    std::set<int> raised;
    for (int code = 0; code < kDiagnosisCodes; ++code) {
        if (code > 126) {
            EXPECT_EQ(flags[code], 0) << c.name << ": code " << code << " is never raised";
        }
        if (flags[code] != 0)
            raised.insert(code);
    }
    std::string got;
    for (int code : raised)
        got += std::to_string(code) + " ";
    EXPECT_EQ(raised, c.raised) << c.name << ": raised " << got;
}

void CheckAll(std::initializer_list<Case> cases)
{
    for (const Case& c : cases)
        Check(c);
}

TEST(InterpretationRules, NoQrsFoundRaisesNothing)
{
    Check({"qrs 0, axis 0", [](RuleInput& in) { in.measurements.qrs = 0; in.measurements.qrsAxis = 0; }, {}});
}

TEST(InterpretationRules, SinusRhythmNeedsThePPatternAndPrAndSplitsAtTheRateLimits)
{
    CheckAll({
        {"HR 60", [](RuleInput& in) { SinusP(in); in.measurements.heartRate = 60; }, {0, 11, 22}},
        {"HR 100", [](RuleInput& in) { SinusP(in); in.measurements.heartRate = 100; }, {0, 11, 22}},
        {"HR 101", [](RuleInput& in) { SinusP(in); in.measurements.heartRate = 101; }, {0, 13, 22}},
        {"PR 120", [](RuleInput& in) { SinusP(in); in.measurements.pr = 120; }, {0, 11, 22}},
        {"PR 200", [](RuleInput& in) { SinusP(in); in.measurements.pr = 200; }, {0, 11, 22}},
        {"PR 201", [](RuleInput& in) { SinusP(in); in.measurements.pr = 201; }, {0, 22}},
        {"only one upright of I, aVF, V5, V6",
         [](RuleInput& in) { SinusP(in); in.leads[kLeadAVF][kFieldP1] = 0; }, {22}},
    });
}

// Low voltage in the limb leads (sum of magnitudes below 500 µV) and in the chest leads (below
// 800 µV); both together raise the shown code 20 and open the pre-excitation rules.
void LimbVoltage(RuleInput& in, int32_t r)
{
    for (int l = kLeadI; l <= kLeadAVF; ++l)
        in.leads[l][kFieldR] = r;
    in.leads[kLeadAVR][kFieldR] = 0;
    in.leads[kLeadAVR][kFieldS] = -r;
}
void ChestR(RuleInput& in, std::initializer_list<int> leads, int32_t r, int32_t s = 0)
{
    for (int l : leads) {
        in.leads[l][kFieldR] = r;
        in.leads[l][kFieldS] = s;
    }
}

TEST(InterpretationRules, LowVoltageAndPreExcitation)
{
    const std::initializer_list<int> all = {kLeadV1, kLeadV2, kLeadV3, kLeadV4, kLeadV5, kLeadV6};
    CheckAll({
        {"limbs split into R and R'",
         [](RuleInput& in) {
             LimbVoltage(in, 300);
             for (int l : {kLeadI, kLeadII, kLeadIII, kLeadAVL, kLeadAVF})
                 in.leads[l][kFieldR2] = 200;
         },
         {22}},
        {"chest 799 only", [&](RuleInput& in) { ChestR(in, all, 799); }, {2, 22}},
        {"chest 799 but V1", [](RuleInput& in) {
             ChestR(in, {kLeadV2, kLeadV3, kLeadV4, kLeadV5, kLeadV6}, 799); }, {22}},
        {"both, all chest R-dominant",
         [&](RuleInput& in) { LimbVoltage(in, 400); ChestR(in, all, 700); }, {1, 2, 3, 14, 20, 22, 39}},
        {"both, type A",
         [&](RuleInput& in) {
             LimbVoltage(in, 400);
             ChestR(in, all, 300);
             ChestR(in, {kLeadV1, kLeadV2}, 0, -300);
         },
         {1, 2, 3, 15, 20, 22, 40}},
        {"both, type B",
         [&](RuleInput& in) {
             LimbVoltage(in, 400);
             ChestR(in, all, 300);
             ChestR(in, {kLeadV5, kLeadV6}, 0, -300);
         },
         {1, 2, 3, 16, 20, 22, 41}},
        {"both, V3 equiphasic",
         [&](RuleInput& in) {
             LimbVoltage(in, 400);
             ChestR(in, all, 300);
             ChestR(in, {kLeadV3}, 350, -300);  // R and S differ by less than 100 µV
         },
         {1, 2, 3, 20, 22}},
    });
}

TEST(InterpretationRules, AtrialEnlargement)
{
    auto tallP = [](RuleInput& in, int32_t p) {
        for (int l : {kLeadI, kLeadII, kLeadAVF})
            in.leads[l][kFieldP1] = p;
    };
    auto longP = [](RuleInput& in, int32_t pd) {
        for (int l : {kLeadI, kLeadII, kLeadAVL})
            in.leads[l][kFieldPd1 + 2] = pd;
    };
    CheckAll({
        {"P 251 in aVF only", [&](RuleInput& in) { in.leads[kLeadAVF][kFieldP1] = 251; }, {22}},
        {"P 251, P duration 111", [&](RuleInput& in) { tallP(in, 251); in.measurements.pDuration = 111; }, {18, 19, 22}},
        // With low limb voltage a P above half the R (halved as an integer: 499 / 2 = 249).
        {"low voltage, P 249 of R 499 in aVF only",
         [&](RuleInput& in) { LimbVoltage(in, 499); tallP(in, 250); in.leads[kLeadAVF][kFieldP1] = 249; }, {1, 22}},
        // PR x 1.6 < P x 2.6: 160 x 1.6 = 256 against 99 x 2.6 = 257.4 and 98 x 2.6 = 254.8.
        {"long P, ratio holds", [&](RuleInput& in) { longP(in, 111); in.measurements.pDuration = 99; }, {17, 22}},
        {"long P, ratio fails", [&](RuleInput& in) { longP(in, 111); in.measurements.pDuration = 98; }, {22}},
    });
}

TEST(InterpretationRules, AxisClassesShareTheirBounds)
{
    struct AxisCase {
        float tenths;
        std::set<int> raised;
    };
    const AxisCase cases[] = {
        {300.0f, {22, 23}}, {0.0f, {23, 24}}, {-301.0f, {25}}, {-900.0f, {25, 28}}, {-1800.0f, {28}},
        {1200.0f, {26, 27}}, {1800.0f, {27}}, {901.0f, {26}},  {-901.0f, {28}},
    };
    for (const AxisCase& c : cases) {
        const std::string name = "axis " + std::to_string(c.tenths / 10);
        Check({name.c_str(), [&](RuleInput& in) { in.measurements.qrsAxis = c.tenths; }, c.raised});
    }
}

TEST(InterpretationRules, BundleBranchBlocks)
{
    CheckAll({
        {"R' in V1, QRS 120", [](RuleInput& in) { in.measurements.qrs = 120; in.leads[kLeadV1][kFieldR2d] = 1; }, {22, 29}},
        {"R' in V6", [](RuleInput& in) { in.measurements.qrs = 120; in.leads[kLeadV6][kFieldR2d] = 1; }, {22, 30}},
        // Broad R: above 80 ms and more than half of it at half amplitude, or 121 ms and more.
        {"R 81 ms, half width 41", [](RuleInput& in) { in.leads[kLeadV1][kFieldRd] = 81; in.leads[kLeadV1][kFieldRhw] = 41; }, {22, 31}},
        {"R 81 ms, half width 40", [](RuleInput& in) { in.leads[kLeadV1][kFieldRd] = 81; in.leads[kLeadV1][kFieldRhw] = 40; }, {22}},
        {"R 80 ms, half width 80", [](RuleInput& in) { in.leads[kLeadAVR][kFieldRd] = 80; in.leads[kLeadAVR][kFieldRhw] = 80; }, {22}},
        {"R 121 ms", [](RuleInput& in) { in.leads[kLeadV6][kFieldRd] = 121; }, {22, 32}},
        {"R 100 ms, half widths 30 + 21", [](RuleInput& in) {
             in.leads[kLeadV5][kFieldRd] = 100; in.leads[kLeadV5][kFieldRhw] = 30; in.leads[kLeadV5][kFieldR2hw] = 21; }, {22, 32}},
    });
}

// Left anterior fascicular block: qR in I and aVL, rS in II, III and aVF, the axis beyond -30°.
void Lafb(RuleInput& in)
{
    in.measurements.qrsAxis = -450.0f;
    for (int l : {kLeadI, kLeadAVL}) {
        SetLabel(in, l, "qR");
        in.leads[l][kFieldQd] = 19;
    }
    for (int l : {kLeadII, kLeadIII, kLeadAVF}) {
        SetLabel(in, l, "rS");
        in.leads[l][kFieldS] = -500;
    }
    in.leads[kLeadIII][kFieldS] = -600;
    in.leads[kLeadAVL][kFieldR] = 1200;
}
// Left posterior fascicular block: rS in I and aVL, qR in II, III and aVF, the axis beyond 90°.
void Lpfb(RuleInput& in)
{
    in.measurements.qrsAxis = 1000.0f;
    for (int l : {kLeadI, kLeadAVL}) {
        SetLabel(in, l, "rS");
        in.leads[l][kFieldRd] = 19;
    }
    for (int l : {kLeadII, kLeadIII, kLeadAVF}) {
        SetLabel(in, l, "qR");
        in.leads[l][kFieldQd] = 20;
        in.leads[l][kFieldRd] = 40;
    }
    in.leads[kLeadIII][kFieldRd] = 41;
}

TEST(InterpretationRules, FascicularBlocks)
{
    CheckAll({
        {"LAFB", Lafb, {25, 34}},
        {"LAFB, axis -30", [](RuleInput& in) { Lafb(in); in.measurements.qrsAxis = -300.0f; }, {24, 25}},
        {"LPFB", Lpfb, {26, 35}},
        {"LPFB, axis 90", [](RuleInput& in) { Lpfb(in); in.measurements.qrsAxis = 900.0f; }, {22, 26}},
        {"LPFB, Q 21 ms in aVF", [](RuleInput& in) { Lpfb(in); in.leads[kLeadAVF][kFieldQd] = 21; }, {26}},
        {"LPFB, R 20 ms in I", [](RuleInput& in) { Lpfb(in); in.leads[kLeadI][kFieldRd] = 20; }, {26}},
        {"LPFB, R 20 ms in aVL", [](RuleInput& in) { Lpfb(in); in.leads[kLeadAVL][kFieldRd] = 20; }, {26}},
        {"LPFB, Q 21 ms in II", [](RuleInput& in) { Lpfb(in); in.leads[kLeadII][kFieldQd] = 21; }, {26}},
        {"LPFB, Q 21 ms in III", [](RuleInput& in) { Lpfb(in); in.leads[kLeadIII][kFieldQd] = 21; }, {26}},
        {"LPFB, R III not longer than R II", [](RuleInput& in) { Lpfb(in); in.leads[kLeadIII][kFieldRd] = 40; }, {26}},
    });
}

void Lvh(RuleInput& in)
{
    in.leads[kLeadV5][kFieldR] = 2501;
    in.leads[kLeadI][kFieldR] = 1501;
    in.leads[kLeadV1][kFieldS] = -1000;  // R(V5) - S(V1) = 3501
    in.leads[kLeadAVL][kFieldR] = 1201;
    in.leads[kLeadAVF][kFieldR] = 2001;
}
void Rvh(RuleInput& in)
{
    in.leads[kLeadAVR][kFieldR] = 500;
    in.leads[kLeadAVR][kFieldS] = -1000;
    in.leads[kLeadV1][kFieldR] = 1001;
    in.leads[kLeadV5][kFieldS] = -1100;  // R(V1) - S(V5) = 2101, R(V5) < -S(V5)
    in.leads[kLeadV1][kFieldSt60] = -51;
    in.leads[kLeadIII][kFieldSt60] = -51;
}

TEST(InterpretationRules, VentricularHypertrophy)
{
    CheckAll({
        {"LVH", Lvh, {22, 36}},
        {"LVH, R-S 3500", [](RuleInput& in) { Lvh(in); in.leads[kLeadV1][kFieldS] = -999; }, {22}},
        {"RVH", Rvh, {22, 37}},
        {"RVH, R V1 - S V5 1200",
         [](RuleInput& in) { Rvh(in); in.leads[kLeadV5][kFieldS] = -199; in.leads[kLeadV5][kFieldR] = 100; }, {22}},
        {"RVH, V1 dominated by S and Q",
         [](RuleInput& in) { Rvh(in); in.leads[kLeadV1][kFieldS] = -1001; in.leads[kLeadV1][kFieldQ] = -1001; }, {22}},
        {"RVH, V1 dominated by S only",
         [](RuleInput& in) { Rvh(in); in.leads[kLeadV1][kFieldS] = -1001; }, {22, 37}},
        {"RVH, R V5 = -S V5", [](RuleInput& in) { Rvh(in); in.leads[kLeadV5][kFieldR] = 1100; }, {22}},
        {"RVH, ST V1 -50", [](RuleInput& in) { Rvh(in); in.leads[kLeadV1][kFieldSt60] = -50; }, {22}},
        {"RVH, ST III -50", [](RuleInput& in) { Rvh(in); in.leads[kLeadIII][kFieldSt60] = -50; }, {22}},
    });
}

TEST(InterpretationRules, InfarctionByRegionAndStage)
{
    // Old signs run through the same regions two codes on: rows only where their codes differ.
    CheckAll({
        {"A V3-V4", [](RuleInput& in) { Acute(in, {kLeadV3, kLeadV4}); }, {22, 51}},
        // The possible-old anterior rule asks for at least one of V4 and V5, the acute one for
        // exactly one.
        {"O V3-V5", [](RuleInput& in) { Old(in, {kLeadV3, kLeadV4, kLeadV5}); }, {22, 52, 53}},
        {"A V1-V5", [](RuleInput& in) { Acute(in, {kLeadV1, kLeadV2, kLeadV3, kLeadV4, kLeadV5}); }, {22, 56}},
        {"A V1, V2, V4, V5", [](RuleInput& in) { Acute(in, {kLeadV1, kLeadV2, kLeadV4, kLeadV5}); }, {22, 57}},
        {"A V4-V6, I, aVL", [](RuleInput& in) { Acute(in, {kLeadV4, kLeadV5, kLeadV6, kLeadI, kLeadAVL}); }, {22, 61, 65}},
        {"A I, aVL", [](RuleInput& in) { Acute(in, {kLeadI, kLeadAVL}); }, {22, 70}},
        {"A I, aVL, V6", [](RuleInput& in) { Acute(in, {kLeadI, kLeadAVL, kLeadV6}); }, {22, 66}},
        {"O I, aVL", [](RuleInput& in) { Old(in, {kLeadI, kLeadAVL}); }, {22, 71}},
        {"A I, aVL, II", [](RuleInput& in) { Acute(in, {kLeadI, kLeadAVL, kLeadII}); }, {22, 81}},
        {"A all limb leads", [](RuleInput& in) { Acute(in, {kLeadI, kLeadII, kLeadIII, kLeadAVL, kLeadAVF}); }, {22, 80}},
        // Acute and old signs in different leads both count where they are.
        {"A V1-V3, O II, III, aVF",
         [](RuleInput& in) { Acute(in, {kLeadV1, kLeadV2, kLeadV3}); Old(in, {kLeadII, kLeadIII, kLeadAVF}); }, {22, 44, 76}},
    });
}

TEST(InterpretationRules, QSignAndStElevationLimitsPerLead)
{
    auto q = [](RuleInput& in, std::initializer_list<int> leads, int32_t amp, int32_t dur, int32_t st,
                int32_t r = 1000) {
        for (int l : leads) {
            in.leads[l][kFieldR] = r;
            in.leads[l][kFieldQ] = amp;
            in.leads[l][kFieldQd] = dur;
            in.leads[l][kFieldSt60] = st;
        }
    };
    CheckAll({
        // V1 and V2 count any Q; the limit there is 300 µV.
        {"small Q V1, V2, ST 300", [&](RuleInput& in) { q(in, {kLeadV1, kLeadV2}, -10, 0, 300); }, {22, 47}},
        // Elsewhere the Q must be pathological, and the limit is 100 µV.
        {"Q -300, 40 ms of R 1200", [&](RuleInput& in) { q(in, {kLeadV4, kLeadV5}, -300, 40, 0, 1200); }, {22}},
        {"Q -301 of R 2000", [&](RuleInput& in) { q(in, {kLeadV4, kLeadV5}, -301, 0, 100, 2000); }, {22, 62}},
        {"Q 41 ms V4, V5", [&](RuleInput& in) { q(in, {kLeadV4, kLeadV5}, -50, 41, 0); }, {22, 62}},
        // Not deeper than a quarter of R + R'.
        {"Q -250 of R 900 + R' 100",
         [&](RuleInput& in) {
             q(in, {kLeadV4, kLeadV5}, -250, 0, 0);
             for (int l : {kLeadV4, kLeadV5}) {
                 in.leads[l][kFieldR] = 900;
                 in.leads[l][kFieldR2] = 100;
             }
         },
         {22}},
        {"V3 needs a pathological Q", [&](RuleInput& in) { q(in, {kLeadV2, kLeadV3}, -10, 0, 301); }, {22}},
    });
}

TEST(InterpretationRules, StDepressionMildAndPlain)
{
    CheckAll({
        {"-100 everywhere", [](RuleInput& in) {
             St60(in, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, -100); }, {22}},
        {"-50 V1-V3", [](RuleInput& in) { St60(in, {kLeadV1, kLeadV2, kLeadV3}, -50); }, {22}},
        {"-51 V1-V3, -101 V4",
         [](RuleInput& in) { St60(in, {kLeadV1, kLeadV2, kLeadV3}, -51); St60(in, {kLeadV4}, -101); }, {22, 84}},
        {"-101 V3-V5", [](RuleInput& in) { St60(in, {kLeadV3, kLeadV4, kLeadV5}, -101); }, {22, 101}},
        {"-200 V4-V6, I, aVL",
         [](RuleInput& in) { St60(in, {kLeadV4, kLeadV5, kLeadV6, kLeadI, kLeadAVL}, -200); }, {22, 105, 107, 109}},
        {"-60 V6, I, aVL", [](RuleInput& in) { St60(in, {kLeadV6, kLeadI, kLeadAVL}, -60); }, {22, 93, 94}},
        {"-60 I, aVL, II", [](RuleInput& in) { St60(in, {kLeadI, kLeadAVL, kLeadII}, -60); }, {22, 98}},
        {"-200 II, III, aVF", [](RuleInput& in) { St60(in, {kLeadII, kLeadIII, kLeadAVF}, -200); }, {22, 110}},
        {"-200 II, aVF", [](RuleInput& in) { St60(in, {kLeadII, kLeadAVF}, -200); }, {22, 111}},
        {"-200 all twelve", [](RuleInput& in) { St60(in, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, -200); }, {22, 103, 107, 112}},
    });
}

TEST(InterpretationRules, AbnormalTWaveByLeadMode)
{
    // Too low for the height test, 10 x maxT >= D (the golden records test the other lead modes).
    Check({"V1 low T", [](RuleInput& in) { in.leads[kLeadV1][kFieldT1] = 99; }, {22, 120, 126}});
}

TEST(InterpretationRules, DominantDeflection)
{
    struct DCase {
        int32_t q, r, s, r2, s2, expected;
    };
    const DCase cases[] = {
        {0, 1000, 0, 0, 0, 1000},     {0, 1000, -901, 0, 0, 0},  {0, 1000, -900, 0, 0, 1000},
        {-200, 300, -1000, 0, 0, -1000}, {0, 600, -500, 700, -1200, 1300}, {0, 500, -600, 0, -1200, -1200},
        {0, 0, 0, 0, 0, 0},            {0, 100, 0, 0, 0, 100},    {-99, 0, 0, 0, 0, 0},
    };
    for (const DCase& c : cases) {
        LeadMeasurements v{};
        v[kFieldQ] = c.q;
        v[kFieldR] = c.r;
        v[kFieldS] = c.s;
        v[kFieldR2] = c.r2;
        v[kFieldS2] = c.s2;
        EXPECT_EQ(DominantDeflection(v), c.expected) << c.q << " " << c.r << " " << c.s;
    }
}

}  // namespace
