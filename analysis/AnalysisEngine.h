#pragma once
// Interface of the ECG analysis engine. The engine is one object of fixed-size arrays; the program
// owns one instance, tools and tests may make their own. Plain standard C++, no Qt.
//
// Per record: ClearRecordState, ResetLeadState, then per lead segment PushSample on every second
// packet and ProcessSample on every packet, FinishLead, ResetLeadState and EmptyInput; after the
// twelfth lead RunAnalysis.
#include "analysis/AnalysisTypes.h"
#include "analysis/BeatDetector.h"
#include "analysis/SignalConditioning.h"

#include <array>
#include <cstdint>

class LanguageTable;

class AnalysisEngine {
public:
    AnalysisEngine();

    // Per-packet feed, in the order the callers guarantee. Nothing here allocates.
    void ResetLeadState();
    void PushSample(int32_t value);
    void EmptyInput();  // input ring count 0, all entries 0
    void ProcessSample(uint8_t leadIndex);
    void FinishLead(uint8_t leadIndex);

    // Whole-record analysis after the twelfth lead; statement texts come from the language table.
    // Returns the index of the first used conclusion line.
    int RunAnalysis(ConclusionLines& lines, const LanguageTable& language);

    // Clears the ReferenceRr, the per-lead RR statistics and the average beats so a new record
    // starts clean of live monitoring and of earlier partial records.
    void ClearRecordState();
    // Clears the measurement set and the per-lead measurement blocks.
    void ClearResults();

    const MeasurementSet& Measurements() const { return measurements_; }
    const std::array<LeadMeasurements, kLeadCount>& Leads() const { return leads_; }
    // Results of the last RunAnalysis until the next ResetLeadState.
    const std::array<QrsShapeLabel, kLeadCount>& QrsShapeLabels() const { return labels_; }
    const DiagnosisFlags& Diagnosis() const { return flags_; }

    // Inner state, for tools and tests.
    const SignalRings& Rings() const { return rings_; }
    const BeatDetector& Detector() const { return detector_; }
    const RecordRhythm& Rhythm() const { return rhythm_; }
    const AverageBeatMatrix& AverageBeats() const { return averageBeats_; }
    const WavePoints& GlobalWavePoints() const { return globalWaves_; }
    const std::array<WavePoints, kLeadCount>& LeadWavePoints() const { return leadWaves_; }
    uint8_t CurrentLead() const { return currentLead_; }

private:
    SignalRings rings_;
    BeatDetector detector_;
    RecordRhythm rhythm_;
    AverageBeatMatrix averageBeats_;
    WavePoints globalWaves_;
    std::array<WavePoints, kLeadCount> leadWaves_{};
    uint8_t currentLead_ = 0;
    int32_t bradycardiaLimit_ = 60;
    int32_t tachycardiaLimit_ = 100;

    MeasurementSet measurements_;
    std::array<LeadMeasurements, kLeadCount> leads_{};
    std::array<QrsShapeLabel, kLeadCount> labels_{};
    DiagnosisFlags flags_{};
};
