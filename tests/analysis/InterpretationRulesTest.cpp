// The interpretation rules, case by case on one quiet record that raises only "axis normal":
// every case changes a few values and lists exactly the codes that must then be raised, so a
// rule that fires too early, too late or on a neighbour's condition shows up as a difference.
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
        {"HR 59", [](RuleInput& in) { SinusP(in); in.measurements.heartRate = 59; }, {0, 12, 22}},
        {"HR 101", [](RuleInput& in) { SinusP(in); in.measurements.heartRate = 101; }, {0, 13, 22}},
        {"PR 120", [](RuleInput& in) { SinusP(in); in.measurements.pr = 120; }, {0, 11, 22}},
        {"PR 200", [](RuleInput& in) { SinusP(in); in.measurements.pr = 200; }, {0, 11, 22}},
        {"PR 119", [](RuleInput& in) { SinusP(in); in.measurements.pr = 119; }, {0, 22}},
        {"PR 201", [](RuleInput& in) { SinusP(in); in.measurements.pr = 201; }, {0, 22}},
        {"no P pattern", [](RuleInput& in) { in.measurements.heartRate = 60; }, {22}},
        {"P in aVR upright too",
         [](RuleInput& in) { SinusP(in); in.leads[kLeadAVR][kFieldP1 + 1] = 20; }, {22}},
        {"biphasic P in II",
         [](RuleInput& in) { SinusP(in); in.leads[kLeadII][kFieldP1 + 1] = -20; }, {22}},
        {"only one upright of I, aVF, V5, V6",
         [](RuleInput& in) { SinusP(in); in.leads[kLeadAVF][kFieldP1] = 0; }, {22}},
        {"V5 and V6 instead of I and aVF",
         [](RuleInput& in) {
             SinusP(in);
             in.leads[kLeadI][kFieldP1] = in.leads[kLeadAVF][kFieldP1] = 0;
             in.leads[kLeadV5][kFieldP1] = in.leads[kLeadV6][kFieldP1] = 80;
         },
         {0, 11, 22}},
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
        {"limbs 499", [](RuleInput& in) { LimbVoltage(in, 499); }, {1, 22}},
        {"limbs 500", [](RuleInput& in) { LimbVoltage(in, 500); }, {22}},
        {"limbs split into R and S",
         [](RuleInput& in) {
             LimbVoltage(in, 300);
             for (int l : {kLeadI, kLeadII, kLeadIII, kLeadAVL, kLeadAVF})
                 in.leads[l][kFieldS] = -200;
         },
         {22}},
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
        {"type A pattern without low voltage",
         [&](RuleInput& in) { ChestR(in, {kLeadV1, kLeadV2}, 0, -1000); }, {22}},
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
        {"P 251", [&](RuleInput& in) { tallP(in, 251); }, {18, 22}},
        {"P 250", [&](RuleInput& in) { tallP(in, 250); }, {22}},
        {"P 251 in aVF only", [&](RuleInput& in) { in.leads[kLeadAVF][kFieldP1] = 251; }, {22}},
        {"P 251, P duration 111", [&](RuleInput& in) { tallP(in, 251); in.measurements.pDuration = 111; }, {18, 19, 22}},
        {"P 251, P duration 110", [&](RuleInput& in) { tallP(in, 251); in.measurements.pDuration = 110; }, {18, 22}},
        // With low limb voltage a P above half the R (halved as an integer: 499 / 2 = 249).
        {"low voltage, P 250 of R 499", [&](RuleInput& in) { LimbVoltage(in, 499); tallP(in, 250); }, {1, 18, 22}},
        {"low voltage, P 249 of R 499", [&](RuleInput& in) { LimbVoltage(in, 499); tallP(in, 249); }, {1, 22}},
        {"low voltage, P 249 of R 499 in aVF only",
         [&](RuleInput& in) { LimbVoltage(in, 499); tallP(in, 250); in.leads[kLeadAVF][kFieldP1] = 249; }, {1, 22}},
        // Limb voltage stays low only in I, II and aVF: no low-voltage finding, no halving rule.
        {"P 200 of R 300 without low voltage",
         [&](RuleInput& in) {
             tallP(in, 200);
             for (int l : {kLeadI, kLeadII, kLeadAVF})
                 in.leads[l][kFieldR] = 300;
         },
         {22}},
        // PR x 1.6 < P x 2.6: 160 x 1.6 = 256 against 99 x 2.6 = 257.4 and 98 x 2.6 = 254.8.
        {"long P, ratio holds", [&](RuleInput& in) { longP(in, 111); in.measurements.pDuration = 99; }, {17, 22}},
        {"long P, ratio fails", [&](RuleInput& in) { longP(in, 111); in.measurements.pDuration = 98; }, {22}},
        {"P phases 110 ms", [&](RuleInput& in) { longP(in, 110); in.measurements.pDuration = 150; }, {22}},
        {"long P missing in aVL",
         [&](RuleInput& in) {
             longP(in, 111);
             in.leads[kLeadAVL][kFieldPd1 + 2] = 0;
             in.measurements.pDuration = 150;
         },
         {22}},
    });
}

TEST(InterpretationRules, AxisClassesShareTheirBounds)
{
    struct AxisCase {
        float tenths;
        std::set<int> raised;
    };
    const AxisCase cases[] = {
        {300.0f, {22, 23}}, {900.0f, {22, 26}}, {299.0f, {23}},      {0.0f, {23, 24}},
        {-300.0f, {24, 25}}, {-301.0f, {25}},  {-900.0f, {25, 28}},  {-1800.0f, {28}},
        {1200.0f, {26, 27}}, {1800.0f, {27}},  {901.0f, {26}},       {-901.0f, {28}},
        {1795.0f, {27}},     {-1.0f, {24}},
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
        {"R' in V1, QRS 119", [](RuleInput& in) { in.measurements.qrs = 119; in.leads[kLeadV1][kFieldR2d] = 1; }, {22, 31}},
        {"R' in aVR", [](RuleInput& in) { in.measurements.qrs = 130; in.leads[kLeadAVR][kFieldR2d] = 5; }, {22, 29}},
        {"R' in V6", [](RuleInput& in) { in.measurements.qrs = 120; in.leads[kLeadV6][kFieldR2d] = 1; }, {22, 30}},
        {"R' in V5, narrow", [](RuleInput& in) { in.leads[kLeadV5][kFieldR2d] = 1; }, {22, 32}},
        // Broad R: above 80 ms and more than half of it at half amplitude, or 121 ms and more.
        {"R 81 ms, half width 41", [](RuleInput& in) { in.leads[kLeadV1][kFieldRd] = 81; in.leads[kLeadV1][kFieldRhw] = 41; }, {22, 31}},
        {"R 81 ms, half width 40", [](RuleInput& in) { in.leads[kLeadV1][kFieldRd] = 81; in.leads[kLeadV1][kFieldRhw] = 40; }, {22}},
        {"R 80 ms, half width 80", [](RuleInput& in) { in.leads[kLeadAVR][kFieldRd] = 80; in.leads[kLeadAVR][kFieldRhw] = 80; }, {22}},
        {"R 121 ms", [](RuleInput& in) { in.leads[kLeadV6][kFieldRd] = 121; }, {22, 32}},
        {"R 120 ms", [](RuleInput& in) { in.leads[kLeadV6][kFieldRd] = 120; }, {22}},
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
        {"LAFB, QRS 110", [](RuleInput& in) { Lafb(in); in.measurements.qrs = 110; }, {25}},
        {"LAFB, axis -30", [](RuleInput& in) { Lafb(in); in.measurements.qrsAxis = -300.0f; }, {24, 25}},
        {"LAFB, Q 20 ms in aVL", [](RuleInput& in) { Lafb(in); in.leads[kLeadAVL][kFieldQd] = 20; }, {25}},
        {"LAFB, S III as deep as S II", [](RuleInput& in) { Lafb(in); in.leads[kLeadIII][kFieldS] = -500; }, {25}},
        {"LAFB, R aVL not above R I", [](RuleInput& in) { Lafb(in); in.leads[kLeadAVL][kFieldR] = 1000; }, {25}},
        {"LAFB, aVF qR", [](RuleInput& in) { Lafb(in); SetLabel(in, kLeadAVF, "qR"); }, {25}},
        {"LPFB", Lpfb, {26, 35}},
        {"LPFB, axis 90", [](RuleInput& in) { Lpfb(in); in.measurements.qrsAxis = 900.0f; }, {22, 26}},
        {"LPFB, Q 21 ms in aVF", [](RuleInput& in) { Lpfb(in); in.leads[kLeadAVF][kFieldQd] = 21; }, {26}},
        {"LPFB, R 20 ms in I", [](RuleInput& in) { Lpfb(in); in.leads[kLeadI][kFieldRd] = 20; }, {26}},
        {"LPFB, R 20 ms in aVL", [](RuleInput& in) { Lpfb(in); in.leads[kLeadAVL][kFieldRd] = 20; }, {26}},
        {"LPFB, Q 21 ms in II", [](RuleInput& in) { Lpfb(in); in.leads[kLeadII][kFieldQd] = 21; }, {26}},
        {"LPFB, Q 21 ms in III", [](RuleInput& in) { Lpfb(in); in.leads[kLeadIII][kFieldQd] = 21; }, {26}},
        {"LPFB, R III not longer than R II", [](RuleInput& in) { Lpfb(in); in.leads[kLeadIII][kFieldRd] = 40; }, {26}},
        {"LPFB, QRS 109", [](RuleInput& in) { Lpfb(in); in.measurements.qrs = 109; }, {26, 35}},
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
        {"LVH, R V5 2500", [](RuleInput& in) { Lvh(in); in.leads[kLeadV5][kFieldR] = 2500; }, {22}},
        {"LVH, R I 1500", [](RuleInput& in) { Lvh(in); in.leads[kLeadI][kFieldR] = 1500; }, {22}},
        {"LVH, R-S 3500", [](RuleInput& in) { Lvh(in); in.leads[kLeadV1][kFieldS] = -999; }, {22}},
        {"LVH, R aVL 1200", [](RuleInput& in) { Lvh(in); in.leads[kLeadAVL][kFieldR] = 1200; }, {22}},
        {"LVH, R aVF 2000", [](RuleInput& in) { Lvh(in); in.leads[kLeadAVF][kFieldR] = 2000; }, {22}},
        {"RVH", Rvh, {22, 37}},
        {"RVH, R aVR 499", [](RuleInput& in) { Rvh(in); in.leads[kLeadAVR][kFieldR] = 499; }, {22}},
        {"RVH, R V1 1000", [](RuleInput& in) { Rvh(in); in.leads[kLeadV1][kFieldR] = 1000; }, {22}},
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
        {"A V1-V3", [](RuleInput& in) { Acute(in, {kLeadV1, kLeadV2, kLeadV3}); }, {22, 44}},
        {"A V1-V2", [](RuleInput& in) { Acute(in, {kLeadV1, kLeadV2}); }, {22, 45}},
        {"A V1-V3 and V4", [](RuleInput& in) { Acute(in, {kLeadV1, kLeadV2, kLeadV3, kLeadV4}); }, {22, 57}},
        {"A V3-V5", [](RuleInput& in) { Acute(in, {kLeadV3, kLeadV4, kLeadV5}); }, {22, 50}},
        {"A V3-V6", [](RuleInput& in) { Acute(in, {kLeadV3, kLeadV4, kLeadV5, kLeadV6}); }, {22}},
        {"A V3-V4", [](RuleInput& in) { Acute(in, {kLeadV3, kLeadV4}); }, {22, 51}},
        // The possible-old anterior rule asks for at least one of V4 and V5, the acute one for
        // exactly one.
        {"O V3-V5", [](RuleInput& in) { Old(in, {kLeadV3, kLeadV4, kLeadV5}); }, {22, 52, 53}},
        {"O V3, V5", [](RuleInput& in) { Old(in, {kLeadV3, kLeadV5}); }, {22, 53}},
        {"A V1-V5", [](RuleInput& in) { Acute(in, {kLeadV1, kLeadV2, kLeadV3, kLeadV4, kLeadV5}); }, {22, 56}},
        {"A V2-V4", [](RuleInput& in) { Acute(in, {kLeadV2, kLeadV3, kLeadV4}); }, {22, 57}},
        {"A V1, V2, V4, V5", [](RuleInput& in) { Acute(in, {kLeadV1, kLeadV2, kLeadV4, kLeadV5}); }, {22, 57}},
        {"A V4-V5", [](RuleInput& in) { Acute(in, {kLeadV4, kLeadV5}); }, {22, 61}},
        {"O V4-V5", [](RuleInput& in) { Old(in, {kLeadV4, kLeadV5}); }, {22, 62}},
        {"A V4-V6, I, aVL", [](RuleInput& in) { Acute(in, {kLeadV4, kLeadV5, kLeadV6, kLeadI, kLeadAVL}); }, {22, 61, 65}},
        {"A V4-V6, I", [](RuleInput& in) { Acute(in, {kLeadV4, kLeadV5, kLeadV6, kLeadI}); }, {22, 61, 66}},
        {"A I, aVL", [](RuleInput& in) { Acute(in, {kLeadI, kLeadAVL}); }, {22, 70}},
        {"A I, aVL, V6", [](RuleInput& in) { Acute(in, {kLeadI, kLeadAVL, kLeadV6}); }, {22, 66}},
        {"O I, aVL", [](RuleInput& in) { Old(in, {kLeadI, kLeadAVL}); }, {22, 71}},
        // Three inferolateral signs that are the inferior pattern raise only the inferior code.
        {"A II, III, aVF", [](RuleInput& in) { Acute(in, {kLeadII, kLeadIII, kLeadAVF}); }, {22, 74}},
        {"A II, III", [](RuleInput& in) { Acute(in, {kLeadII, kLeadIII}); }, {22, 75}},
        {"A II, III, aVF and I", [](RuleInput& in) { Acute(in, {kLeadII, kLeadIII, kLeadAVF, kLeadI}); }, {22, 81}},
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
        {"small Q V1, V2, ST 301", [&](RuleInput& in) { q(in, {kLeadV1, kLeadV2}, -10, 0, 301); }, {22, 45}},
        // Elsewhere the Q must be pathological, and the limit is 100 µV.
        {"small Q V4, V5", [&](RuleInput& in) { q(in, {kLeadV4, kLeadV5}, -10, 0, 0); }, {22}},
        {"Q -300, 40 ms of R 1200", [&](RuleInput& in) { q(in, {kLeadV4, kLeadV5}, -300, 40, 0, 1200); }, {22}},
        {"Q -301 of R 2000", [&](RuleInput& in) { q(in, {kLeadV4, kLeadV5}, -301, 0, 100, 2000); }, {22, 62}},
        {"Q -301 of R 2000, ST 101", [&](RuleInput& in) { q(in, {kLeadV4, kLeadV5}, -301, 0, 101, 2000); }, {22, 61}},
        {"Q 41 ms V4, V5", [&](RuleInput& in) { q(in, {kLeadV4, kLeadV5}, -50, 41, 0); }, {22, 62}},
        // Deeper than a quarter of R + R' (1000 here): 251 is, 250 is not.
        {"Q -251 of R 1000", [&](RuleInput& in) { q(in, {kLeadV4, kLeadV5}, -251, 0, 0); }, {22, 62}},
        {"Q -250 of R 1000", [&](RuleInput& in) { q(in, {kLeadV4, kLeadV5}, -250, 0, 0); }, {22}},
        {"Q -250 of R 900 + R' 100",
         [&](RuleInput& in) {
             q(in, {kLeadV4, kLeadV5}, -250, 0, 0);
             for (int l : {kLeadV4, kLeadV5}) {
                 in.leads[l][kFieldR] = 900;
                 in.leads[l][kFieldR2] = 100;
             }
         },
         {22}},
        {"no Q V1, V2 with ST", [&](RuleInput& in) { q(in, {kLeadV1, kLeadV2}, 0, 0, 301); }, {22}},
        {"V3 needs a pathological Q", [&](RuleInput& in) { q(in, {kLeadV2, kLeadV3}, -10, 0, 301); }, {22}},
    });
}

TEST(InterpretationRules, StDepressionMildAndPlain)
{
    CheckAll({
        {"-100 everywhere", [](RuleInput& in) {
             St60(in, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, -100); }, {22}},
        {"-101 V1-V3", [](RuleInput& in) { St60(in, {kLeadV1, kLeadV2, kLeadV3}, -101); }, {22, 99}},
        {"-51 V1-V3", [](RuleInput& in) { St60(in, {kLeadV1, kLeadV2, kLeadV3}, -51); }, {22, 84}},
        {"-99 V1-V3", [](RuleInput& in) { St60(in, {kLeadV1, kLeadV2, kLeadV3}, -99); }, {22, 84}},
        {"-50 V1-V3", [](RuleInput& in) { St60(in, {kLeadV1, kLeadV2, kLeadV3}, -50); }, {22}},
        {"-51 V1-V3, -101 V4",
         [](RuleInput& in) { St60(in, {kLeadV1, kLeadV2, kLeadV3}, -51); St60(in, {kLeadV4}, -101); }, {22, 84}},
        {"-51 V1, V3", [](RuleInput& in) { St60(in, {kLeadV1, kLeadV3}, -51); }, {22, 85}},
        {"-101 V3-V5", [](RuleInput& in) { St60(in, {kLeadV3, kLeadV4, kLeadV5}, -101); }, {22, 101}},
        {"-101 V3, V4", [](RuleInput& in) { St60(in, {kLeadV3, kLeadV4}, -101); }, {22, 102}},
        {"-60 V1-V5", [](RuleInput& in) { St60(in, {kLeadV1, kLeadV2, kLeadV3, kLeadV4, kLeadV5}, -60); }, {22, 88}},
        {"-200 V1, V4, V5", [](RuleInput& in) { St60(in, {kLeadV1, kLeadV4, kLeadV5}, -200); }, {22, 104}},
        {"-200 V4, V5", [](RuleInput& in) { St60(in, {kLeadV4, kLeadV5}, -200); }, {22, 105}},
        {"-200 V4-V6, I, aVL",
         [](RuleInput& in) { St60(in, {kLeadV4, kLeadV5, kLeadV6, kLeadI, kLeadAVL}, -200); }, {22, 105, 107, 109}},
        {"-200 V4-V6, I", [](RuleInput& in) { St60(in, {kLeadV4, kLeadV5, kLeadV6, kLeadI}, -200); }, {22, 105, 108}},
        {"-60 V6, I, aVL", [](RuleInput& in) { St60(in, {kLeadV6, kLeadI, kLeadAVL}, -60); }, {22, 93, 94}},
        {"-60 I, aVL, II", [](RuleInput& in) { St60(in, {kLeadI, kLeadAVL, kLeadII}, -60); }, {22, 98}},
        {"-200 II, III, aVF", [](RuleInput& in) { St60(in, {kLeadII, kLeadIII, kLeadAVF}, -200); }, {22, 110}},
        {"-200 II, aVF", [](RuleInput& in) { St60(in, {kLeadII, kLeadAVF}, -200); }, {22, 111}},
        {"-200 I, II, III, aVF", [](RuleInput& in) { St60(in, {kLeadI, kLeadII, kLeadIII, kLeadAVF}, -200); }, {22, 113}},
        {"-200 all twelve", [](RuleInput& in) { St60(in, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, -200); }, {22, 103, 107, 112}},
    });
}

TEST(InterpretationRules, AbnormalTWaveByLeadMode)
{
    auto t = [](RuleInput& in, int lead, int32_t t1, int32_t t2 = 0) {
        in.leads[lead][kFieldT1] = t1;
        in.leads[lead][kFieldT1 + 1] = t2;
    };
    auto negativeQrs = [](RuleInput& in, int lead) {
        in.leads[lead][kFieldR] = 0;
        in.leads[lead][kFieldS] = -1000;
    };
    CheckAll({
        // Height test: 10 x maxT >= D.
        {"I T 100", [&](RuleInput& in) { t(in, kLeadI, 100); }, {22}},
        {"I T 99", [&](RuleInput& in) { t(in, kLeadI, 99); }, {22, 114, 126}},
        {"II biphasic T", [&](RuleInput& in) { t(in, kLeadII, 300, -1); }, {22, 115, 126}},
        {"III inverted", [&](RuleInput& in) { t(in, kLeadIII, -100); }, {22, 116, 126}},
        {"III inverted, QS", [&](RuleInput& in) { negativeQrs(in, kLeadIII); t(in, kLeadIII, -100); }, {22}},
        // In mode-1 leads a negative complex passes the height test: only a negative T counts.
        {"V5 flat T, QS", [&](RuleInput& in) { negativeQrs(in, kLeadV5); t(in, kLeadV5, 0); }, {22}},
        {"V5 inverted, QS", [&](RuleInput& in) { negativeQrs(in, kLeadV5); t(in, kLeadV5, -100); }, {22, 124, 126}},
        {"aVR upright T", [&](RuleInput& in) { t(in, kLeadAVR, 1); }, {22, 117, 126}},
        {"aVR R-dominant, T inverted", [&](RuleInput& in) {
             in.leads[kLeadAVR][kFieldR] = 1000; in.leads[kLeadAVR][kFieldS] = 0; }, {22, 117, 126}},
        {"aVL low T", [&](RuleInput& in) { t(in, kLeadAVL, 50); }, {22, 118, 126}},
        {"aVF low T", [&](RuleInput& in) { t(in, kLeadAVF, 50); }, {22, 119, 126}},
        {"V1 low T", [&](RuleInput& in) { t(in, kLeadV1, 99); }, {22, 120, 126}},
        {"V2 low T, equiphasic", [&](RuleInput& in) {
             in.leads[kLeadV2][kFieldS] = -950; t(in, kLeadV2, 10); }, {22}},
        {"V3 and V4 inverted", [&](RuleInput& in) { t(in, kLeadV3, -5); t(in, kLeadV4, -5); }, {22, 122, 123, 126}},
        {"V6 inverted", [&](RuleInput& in) { t(in, kLeadV6, -5); }, {22, 125, 126}},
        {"no T anywhere, R-dominant", [&](RuleInput& in) {
             for (int l = 0; l < kLeadCount; ++l) t(in, l, 0); },
         {22, 114, 115, 116, 118, 119, 120, 121, 122, 123, 124, 125, 126}},
    });
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
