#pragma once
// The fixed, ordered list of threshold rules that turns one record's measurements into
// DiagnosisFlags (codes 0 ... 126; every code is written, codes without a rule as 0).
#include "analysis/AnalysisTypes.h"

#include <array>
#include <cstdint>

constexpr int32_t kBradycardiaLimit = 60;   // beats per minute
constexpr int32_t kTachycardiaLimit = 100;

struct RuleInput {
    MeasurementSet measurements;
    std::array<LeadMeasurements, kLeadCount> leads{};
    std::array<QrsShapeLabel, kLeadCount> labels{};
    int32_t bradycardiaLimit = kBradycardiaLimit;
    int32_t tachycardiaLimit = kTachycardiaLimit;
};

void ApplyInterpretationRules(const RuleInput& input, DiagnosisFlags& flags);

// Dominant deflection of a lead's QRS: the larger of the positive (R + R') and the negative
// (deepest of Q, S, S') part, or 0 when they differ by less than 100 µV.
int32_t DominantDeflection(const LeadMeasurements& v);
