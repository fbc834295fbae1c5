#pragma once
// Interface of the ECG analysis engine. The engine is one object of fixed-size arrays; the program
// owns one instance, tools and tests may make their own. Plain standard C++, no Qt.
#include <array>
#include <cstdint>
#include <string>

class LanguageTable;

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

constexpr int kLeadCount = 12;
constexpr int kLeadValues = 40;
using LeadMeasurements = std::array<int32_t, kLeadValues>;  // µV and ms, in the fixed field order

// Ten text lines filled from index 9 downward; RunAnalysis returns the first used index.
struct ConclusionLines {
    std::array<std::string, 10> line;
};

class AnalysisEngine {
public:
    AnalysisEngine();

    // Per-packet feed, in the order the callers guarantee.
    void ResetLeadState();
    void PushSample(int32_t value);
    void EmptyInput();  // input ring count 0, all entries 0
    void ProcessSample(uint8_t leadIndex);
    void FinishLead(uint8_t leadIndex);

    // Whole-record analysis after the twelfth lead; statement texts come from the language table.
    // Returns the index of the first used conclusion line.
    int RunAnalysis(ConclusionLines& lines, const LanguageTable& language);

    // Clears the ReferenceRr and the per-lead RR statistics so a new record starts clean.
    void ClearRecordState();
    // Clears the measurement set and the per-lead measurement blocks.
    void ClearResults();

    const MeasurementSet& Measurements() const { return measurements_; }
    const std::array<LeadMeasurements, kLeadCount>& Leads() const { return leads_; }

private:
    MeasurementSet measurements_;
    std::array<LeadMeasurements, kLeadCount> leads_{};
};
