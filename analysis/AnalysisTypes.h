#pragma once
// Value types shared by the stages of the analysis engine and by its readers (screen, report,
// command-line tools). Plain standard C++.
//
// The analysis library is built with -fwrapv: every 32-bit value wraps like the recorder
// firmware's own integers instead of being undefined on overflow, and the 8-bit counters wrap
// by conversion. Divisions truncate toward zero as C++ does.
#include <array>
#include <cstdint>
#include <string>

constexpr int kLeadCount = 12;
constexpr int kLeadValues = 40;

// Lead order everywhere: I, II, III, aVR, aVL, aVF, V1 ... V6.
enum LeadIndex : int {
    kLeadI, kLeadII, kLeadIII, kLeadAVR, kLeadAVL, kLeadAVF,
    kLeadV1, kLeadV2, kLeadV3, kLeadV4, kLeadV5, kLeadV6,
};
inline constexpr std::array<const char*, kLeadCount> kLeadNames = {
    "I", "II", "III", "aVR", "aVL", "aVF", "V1", "V2", "V3", "V4", "V5", "V6"};

constexpr int32_t kEngineRate = 400;  // engine samples per second (every second packet)
constexpr int32_t kUnitsPerMillivolt = 80;

// Record-wide measurements; zero when not measured. Intervals in ms, axes in tenths of a degree.
struct MeasurementSet {
    int32_t heartRate = 0;
    int32_t pDuration = 0;
    int32_t pr = 0;
    int32_t qrs = 0;
    int32_t tDuration = 0;
    int32_t qt = 0;
    int32_t qtc = 0;
    float pAxis = 0;
    float qrsAxis = 0;
    float tAxis = 0;
};

using LeadMeasurements = std::array<int32_t, kLeadValues>;  // µV and ms, in the fixed field order

// Field positions inside LeadMeasurements.
enum LeadField : int {
    kFieldP1 = 0,           // P phase 1..4 amplitude: 0..3
    kFieldQ = 4,
    kFieldR = 5,
    kFieldS = 6,
    kFieldR2 = 7,           // R'
    kFieldS2 = 8,           // S'
    kFieldRUp6 = 9,
    kFieldRUp11 = 10,
    kFieldQDown6 = 11,
    kFieldQDown11 = 12,
    kFieldStJ = 13,         // ST at J, J+20, J+40, J+60, J+80 ms: 13..17
    kFieldSt60 = 16,
    kFieldT1 = 18,          // T phase 1..4 amplitude: 18..21
    kFieldPd1 = 22,         // P phase 1..4 duration: 22..25
    kFieldQd = 26,
    kFieldRd = 27,
    kFieldSd = 28,
    kFieldR2d = 29,
    kFieldS2d = 30,
    kFieldRhw = 31,
    kFieldShw = 32,
    kFieldR2hw = 33,
    kFieldS2hw = 34,
    kFieldTd1 = 35,         // T phase 1..4 duration: 35..38
    kFieldQrsArea = 39,
};

// Letters of the QRS complex of one lead ("qRs", "RSR'"); at most 9 characters and a terminator.
using QrsShapeLabel = std::array<char, 10>;

// One flag per diagnosis code 0 ... 199; nonzero means the statement applies.
constexpr int kDiagnosisCodes = 200;
using DiagnosisFlags = std::array<int32_t, kDiagnosisCodes>;

// Ten text lines filled from index 9 downward; RunAnalysis returns the first used index.
struct ConclusionLines {
    std::array<std::string, 10> line;
};

// The average beats: 280 samples per lead, sample 120 on every lead's fiducial point.
constexpr int kBeatSamples = 280;
constexpr int kBeatFiducial = 120;
struct AverageBeatMatrix {
    int32_t a[kBeatSamples][kLeadCount] = {};

    int32_t& At(int sample, int lead) { return a[sample][lead]; }
    int32_t At(int sample, int lead) const { return a[sample][lead]; }
    const int32_t* Data() const { return &a[0][0]; }
};

// Positions of the waves inside the average beat (0 ... 279). A wave is absent when its onset
// equals its end.
struct WavePoints {
    int32_t pOnset = 0;
    int32_t pEnd = 0;
    int32_t pPeak = 0;
    int32_t fiducial = 0;
    int32_t qrsOnset = 0;
    int32_t qrsEnd = 0;
    int32_t tOnset = 0;
    int32_t tPeak = 0;
    int32_t tEnd = 0;
};
