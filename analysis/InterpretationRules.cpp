#include "analysis/InterpretationRules.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace {

// Per-lead rule parameters, in lead order.
constexpr std::array<int32_t, kLeadCount> kStElevationLimit = {100, 100, 100, 100, 100, 100,
                                                               300, 300, 300, 100, 100, 100};
constexpr std::array<bool, kLeadCount> kAnyQCounts = {false, false, false, false, false, false,
                                                      true,  true,  false, false, false, false};

int32_t Abs(int32_t v) { return v < 0 ? -v : v; }

struct LeadFacts {
    int32_t maxP = 0, minP = 0, maxT = 0, minT = 0;
    int32_t voltage = 0;
    int32_t dominant = 0;
    bool uprightP = false;
    bool acute = false, old = false;  // Q sign with ST60 above / within the elevation limit
    bool mildDepression = false, depression = false;
    bool normalT = false;
};

LeadFacts Derive(const LeadMeasurements& v, int lead)
{
    LeadFacts f;
    f.maxP = *std::max_element(v.begin() + kFieldP1, v.begin() + kFieldP1 + 4);
    f.minP = *std::min_element(v.begin() + kFieldP1, v.begin() + kFieldP1 + 4);
    f.maxT = *std::max_element(v.begin() + kFieldT1, v.begin() + kFieldT1 + 4);
    f.minT = *std::min_element(v.begin() + kFieldT1, v.begin() + kFieldT1 + 4);
    f.uprightP = f.maxP > 0 && f.minP == 0;
    const int32_t q = v[kFieldQ];
    const int32_t rSum = v[kFieldR] + v[kFieldR2];
    f.voltage = v[kFieldR] + v[kFieldR2] - q - v[kFieldS] - v[kFieldS2];
    f.dominant = DominantDeflection(v);
    const bool qSign = kAnyQCounts[lead]
                           ? q < 0
                           : !(q >= -300 && -4 * q <= rSum && v[kFieldQd] <= 40);
    const int32_t st = v[kFieldSt60];
    f.acute = qSign && st > kStElevationLimit[lead];
    f.old = qSign && st <= kStElevationLimit[lead];
    f.mildDepression = -100 < st && st < -50;
    f.depression = st < -100;
    f.normalT = f.minT >= 0 && 10 * f.maxT >= f.dominant;
    return f;
}

using Facts = std::array<LeadFacts, kLeadCount>;
using Test = bool LeadFacts::*;

bool All(const Facts& f, Test t, std::initializer_list<int> leads)
{
    return std::all_of(leads.begin(), leads.end(), [&](int l) { return f[l].*t; });
}
bool None(const Facts& f, Test t, std::initializer_list<int> leads)
{
    return std::none_of(leads.begin(), leads.end(), [&](int l) { return f[l].*t; });
}
int Count(const Facts& f, Test t, std::initializer_list<int> leads)
{
    return static_cast<int>(std::count_if(leads.begin(), leads.end(), [&](int l) { return f[l].*t; }));
}

// R-wave pattern of bundle branch block in a pair of leads.
bool BlockPattern(const std::array<LeadMeasurements, kLeadCount>& leads, int l1, int l2)
{
    if (leads[l1][kFieldR2d] >= 1 || leads[l2][kFieldR2d] >= 1)
        return true;
    for (int l : {l1, l2}) {
        const LeadMeasurements& v = leads[l];
        const int32_t r = v[kFieldRd] + v[kFieldR2d];
        if ((r > 80 && v[kFieldRhw] + v[kFieldR2hw] > r / 2) || r >= 121)
            return true;
    }
    return false;
}

bool Label(const RuleInput& in, int lead, const char* text)
{
    return std::strcmp(in.labels[lead].data(), text) == 0;
}

// The infarction regions, evaluated alike for the acute signs (codes 44, 45, 50, 51, 56, 57, 61,
// 65, 66, 70, 74, 75, 80, 81) and the old signs (the matching codes 46, 47, 52, 53, 58, 59, 62,
// 67, 68, 71, 76, 77, 82, 83).
void InfarctionRules(const Facts& f, Test x, DiagnosisFlags& flags, bool acute)
{
    const int shift = acute ? 0 : 2;
    flags[44 + shift] = All(f, x, {kLeadV1, kLeadV2, kLeadV3}) && None(f, x, {kLeadV4, kLeadV5});
    flags[45 + shift] = Count(f, x, {kLeadV1, kLeadV2, kLeadV3}) == 2 && None(f, x, {kLeadV4, kLeadV5});
    flags[50 + shift] = All(f, x, {kLeadV3, kLeadV4, kLeadV5}) && None(f, x, {kLeadV1, kLeadV2, kLeadV6});
    if (acute)
        flags[51] = f[kLeadV3].*x && Count(f, x, {kLeadV4, kLeadV5}) == 1 && None(f, x, {kLeadV1, kLeadV2});
    else
        flags[53] = f[kLeadV3].*x && Count(f, x, {kLeadV4, kLeadV5}) >= 1 && None(f, x, {kLeadV1, kLeadV2});
    flags[56 + shift] = All(f, x, {kLeadV1, kLeadV2, kLeadV3, kLeadV4, kLeadV5});
    const int outer = Count(f, x, {kLeadV1, kLeadV2, kLeadV4, kLeadV5});
    flags[57 + shift] = (outer == 3 && f[kLeadV3].*x) || (outer == 4 && !(f[kLeadV3].*x))
                        || (All(f, x, {kLeadV2, kLeadV3, kLeadV4}) && None(f, x, {kLeadV1, kLeadV5}));
    flags[acute ? 61 : 62] = All(f, x, {kLeadV4, kLeadV5}) && None(f, x, {kLeadV1, kLeadV2, kLeadV3});
    const int lateral = Count(f, x, {kLeadV4, kLeadV5, kLeadV6, kLeadI, kLeadAVL});
    flags[65 + shift] = lateral == 5;
    flags[66 + shift] = (lateral == 3 || lateral == 4) && None(f, x, {kLeadV1, kLeadV2, kLeadV3});
    const int high = acute ? 70 : 71;
    flags[high] = All(f, x, {kLeadI, kLeadAVL})
                  && None(f, x, {kLeadII, kLeadIII, kLeadAVF, kLeadV4, kLeadV5, kLeadV6});
    const int inferior = 74 + shift;
    flags[inferior] = All(f, x, {kLeadII, kLeadIII, kLeadAVF}) && None(f, x, {kLeadI, kLeadAVL});
    flags[75 + shift] = Count(f, x, {kLeadII, kLeadIII, kLeadAVF}) == 2 && None(f, x, {kLeadI, kLeadAVL});
    const int limbs = Count(f, x, {kLeadI, kLeadII, kLeadIII, kLeadAVL, kLeadAVF});
    flags[80 + shift] = limbs == 5;
    flags[81 + shift] = (limbs == 3 || limbs == 4) && flags[high] == 0 && flags[inferior] == 0;
}

void DepressionRules(const Facts& f, Test x, DiagnosisFlags& flags, int first)
{
    // first is 84 (mild) or 99; the codes follow in the same order in both columns.
    flags[first + 0] = All(f, x, {kLeadV1, kLeadV2, kLeadV3}) && None(f, x, {kLeadV4, kLeadV5});
    flags[first + 1] = Count(f, x, {kLeadV1, kLeadV2, kLeadV3}) == 2 && None(f, x, {kLeadV4, kLeadV5});
    flags[first + 2] = All(f, x, {kLeadV3, kLeadV4, kLeadV5}) && None(f, x, {kLeadV1, kLeadV2, kLeadV6});
    flags[first + 3] = f[kLeadV3].*x && Count(f, x, {kLeadV4, kLeadV5}) == 1 && None(f, x, {kLeadV1, kLeadV2});
    flags[first + 4] = All(f, x, {kLeadV1, kLeadV2, kLeadV3, kLeadV4, kLeadV5});
    flags[first + 5] = Count(f, x, {kLeadV1, kLeadV2, kLeadV4, kLeadV5}) >= 3 && !(f[kLeadV3].*x);
    flags[first + 6] = All(f, x, {kLeadV4, kLeadV5}) && None(f, x, {kLeadV1, kLeadV2, kLeadV3});
    flags[first + 7] = 0;  // possible apical has no rule
    const int lateral = Count(f, x, {kLeadV4, kLeadV5, kLeadV6, kLeadI, kLeadAVL});
    flags[first + 8] = lateral == 5;
    flags[first + 9] = (lateral == 3 || lateral == 4) && None(f, x, {kLeadV1, kLeadV2, kLeadV3});
    flags[first + 10] = All(f, x, {kLeadI, kLeadAVL}) && None(f, x, {kLeadII, kLeadIII, kLeadAVF});
    flags[first + 11] = All(f, x, {kLeadII, kLeadIII, kLeadAVF}) && None(f, x, {kLeadI, kLeadAVL});
    flags[first + 12] = Count(f, x, {kLeadII, kLeadIII, kLeadAVF}) == 2 && None(f, x, {kLeadI, kLeadAVL});
    const int limbs = Count(f, x, {kLeadI, kLeadII, kLeadIII, kLeadAVL, kLeadAVF});
    flags[first + 13] = limbs == 5;
    flags[first + 14] = (limbs == 3 || limbs == 4) && flags[first + 10] == 0 && flags[first + 11] == 0;
}

}  // namespace

int32_t DominantDeflection(const LeadMeasurements& v)
{
    const int32_t neg = std::min({v[kFieldQ], v[kFieldS], v[kFieldS2]});
    const int32_t pos = v[kFieldR] + v[kFieldR2];
    if (Abs(pos - Abs(neg)) < 100)
        return 0;
    return pos <= Abs(neg) ? neg : pos;
}

void ApplyInterpretationRules(const RuleInput& in, DiagnosisFlags& flags)
{
    flags.fill(0);
    // No QRS found (a flat line, a lead off): every value is an unmeasured 0, and a 0 axis sits
    // on two class bounds. Nothing is stated; the conclusion then only asks for a physician.
    if (in.measurements.qrs == 0)
        return;
    Facts f;
    for (int l = 0; l < kLeadCount; ++l)
        f[l] = Derive(in.leads[l], l);
    const auto& L = in.leads;
    const MeasurementSet& m = in.measurements;
    auto R = [&](int l) { return L[l][kFieldR]; };
    auto S = [&](int l) { return L[l][kFieldS]; };
    auto D = [&](int l) { return f[l].dominant; };

    // Internal findings.
    flags[0] = f[kLeadII].uprightP && f[kLeadAVR].maxP == 0 && f[kLeadAVR].minP < 0
               && Count(f, &LeadFacts::uprightP, {kLeadI, kLeadAVF, kLeadV5, kLeadV6}) >= 2;
    flags[1] = std::all_of(f.begin(), f.begin() + 6, [](const LeadFacts& x) { return x.voltage < 500; });
    flags[2] = std::all_of(f.begin() + 6, f.end(), [](const LeadFacts& x) { return x.voltage < 800; });
    flags[3] = flags[1] && flags[2];

    // Rhythm.
    const bool sinus = flags[0] && m.pr >= 120 && m.pr <= 200;
    flags[11] = sinus && m.heartRate >= in.bradycardiaLimit && m.heartRate <= in.tachycardiaLimit;
    flags[12] = sinus && m.heartRate < in.bradycardiaLimit;
    flags[13] = sinus && m.heartRate > in.tachycardiaLimit;

    // Pre-excitation.
    const bool chestPositive = std::all_of(f.begin() + 6, f.end(), [](const LeadFacts& x) { return x.dominant > 0; });
    const bool typeA = D(kLeadV1) < 0 && D(kLeadV2) < 0 && D(kLeadV5) > 0 && D(kLeadV6) > 0;
    const bool typeB = D(kLeadV1) > 0 && D(kLeadV2) > 0 && D(kLeadV5) < 0 && D(kLeadV6) < 0;
    flags[14] = flags[3] && chestPositive;
    flags[15] = flags[3] && typeA;
    flags[16] = flags[3] && typeB;

    // Atria and voltage.
    auto pDurations = [&](int l) {
        return L[l][kFieldPd1] + L[l][kFieldPd1 + 1] + L[l][kFieldPd1 + 2] + L[l][kFieldPd1 + 3];
    };
    flags[17] = pDurations(kLeadI) > 110 && pDurations(kLeadII) > 110 && pDurations(kLeadAVL) > 110
                && m.pr * 1.6 < m.pDuration * 2.6;
    const bool tallP = f[kLeadI].maxP > 250 && f[kLeadII].maxP > 250 && f[kLeadAVF].maxP > 250;
    flags[18] = tallP
                || (flags[1] && f[kLeadI].maxP > R(kLeadI) / 2 && f[kLeadII].maxP > R(kLeadII) / 2
                    && f[kLeadAVF].maxP > R(kLeadAVF) / 2);
    flags[19] = tallP && m.pDuration >= 111;
    flags[20] = flags[3];
    flags[21] = 0;

    // Axis; a value on a shared bound belongs to both classes.
    const double axis = m.qrsAxis / 10.0;
    flags[22] = axis >= 30 && axis <= 90;
    flags[23] = axis >= 0 && axis <= 30;
    flags[24] = axis >= -30 && axis <= 0;
    flags[25] = axis >= -90 && axis <= -30;
    flags[26] = axis >= 90 && axis <= 120;
    flags[27] = axis >= 120 && axis <= 180;
    flags[28] = axis >= -180 && axis <= -90;

    // Conduction and hypertrophy.
    const bool right = BlockPattern(L, kLeadV1, kLeadAVR);
    const bool left = BlockPattern(L, kLeadV5, kLeadV6);
    flags[29] = m.qrs >= 120 && right;
    flags[30] = m.qrs >= 120 && left;
    flags[31] = m.qrs < 120 && right;
    flags[32] = m.qrs < 120 && left;
    flags[33] = Label(in, kLeadV1, "RSR'");
    flags[34] = m.qrs < 110 && axis < -30 && Label(in, kLeadI, "qR") && L[kLeadI][kFieldQd] < 20
                && Label(in, kLeadAVL, "qR") && L[kLeadAVL][kFieldQd] < 20 && Label(in, kLeadII, "rS")
                && Label(in, kLeadIII, "rS") && Label(in, kLeadAVF, "rS") && S(kLeadIII) < S(kLeadII)
                && R(kLeadAVL) > R(kLeadAVF) && R(kLeadAVL) > R(kLeadI);
    flags[35] = m.qrs < 110 && axis > 90 && Label(in, kLeadI, "rS") && Label(in, kLeadAVL, "rS")
                && Label(in, kLeadII, "qR") && Label(in, kLeadIII, "qR") && Label(in, kLeadAVF, "qR")
                && L[kLeadII][kFieldQd] < 21 && L[kLeadIII][kFieldQd] < 21 && L[kLeadAVF][kFieldQd] < 21
                && L[kLeadI][kFieldRd] < 20 && L[kLeadAVL][kFieldRd] < 20
                && L[kLeadIII][kFieldRd] > L[kLeadII][kFieldRd];
    flags[36] = R(kLeadV5) >= 2501 && R(kLeadI) >= 1501 && R(kLeadV5) - S(kLeadV1) >= 3501
                && R(kLeadAVL) >= 1201 && R(kLeadAVF) >= 2001;
    flags[37] = R(kLeadAVR) >= 500 && R(kLeadV1) >= 1001 && R(kLeadV1) - S(kLeadV5) > 1200
                && !(R(kLeadV1) <= -S(kLeadV1) && R(kLeadV1) <= -L[kLeadV1][kFieldQ])
                && R(kLeadV5) < -S(kLeadV5) && L[kLeadV1][kFieldSt60] < -50
                && L[kLeadIII][kFieldSt60] < -50;
    flags[38] = 0;
    flags[39] = flags[3] && chestPositive;
    flags[40] = flags[3] && typeA;
    flags[41] = flags[3] && typeB;

    // Infarction (the early stages 42, 43, 48, 49, ... have no rule and stay 0), then ST
    // depression.
    InfarctionRules(f, &LeadFacts::acute, flags, true);
    InfarctionRules(f, &LeadFacts::old, flags, false);
    DepressionRules(f, &LeadFacts::mildDepression, flags, 84);
    DepressionRules(f, &LeadFacts::depression, flags, 99);

    // T waves. Leads judged only with an R-dominant QRS: III, aVL, aVF, V1 ... V3, and aVR,
    // where any upright T phase is abnormal as well.
    constexpr std::array<int, kLeadCount> kTMode = {1, 1, 0, -1, 0, 0, 0, 0, 0, 1, 1, 1};
    bool anyT = false;
    for (int l = 0; l < kLeadCount; ++l) {
        bool abnormal = kTMode[l] == 1 ? !f[l].normalT : D(l) > 0 && !f[l].normalT;
        if (kTMode[l] == -1)
            abnormal = abnormal || f[l].maxT > 0;
        flags[114 + l] = abnormal;
        anyT = anyT || abnormal;
    }
    flags[126] = anyT;
}
