#pragma once
// The record's MeasurementSet, the 40 LeadMeasurements of each lead and the QrsShapeLabels,
// taken from the delineated average beats; and the label tables the screen and report show
// them with.
#include "analysis/AnalysisTypes.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// 60000 / max(rr, 1) beats per minute, never negative.
int32_t HeartRate(int32_t referenceRr);
// Bazett's QTc with the square root of the RR truncated to an integer first.
int32_t CorrectedQt(int32_t qt, int32_t referenceRr);
// Electrical axis of the wave from <= k < to, in tenths of a degree; 0 for an empty range.
float ComputeAxis(const AverageBeatMatrix& beats, int32_t qrsOnset, int32_t from, int32_t to);

// Intervals, heart rate, QTc and axes from the record's wave points. Heart rate and QTc are
// written only when the ReferenceRr is known; the other values always.
void MeasureRecord(const AverageBeatMatrix& beats, const WavePoints& global, int32_t referenceRr,
                   MeasurementSet& set);

// Amplitudes, durations, ST levels and area of one lead within its own wave points.
LeadMeasurements MeasureLead(const AverageBeatMatrix& beats, int lead, const WavePoints& points);

QrsShapeLabel BuildQrsShapeLabel(const LeadMeasurements& values);
inline std::string_view LabelText(const QrsShapeLabel& label) { return label.data(); }

// The nine rows with which the measurements are shown on screen, on paper and in the archive:
// name and unit, as clinicians write them.
struct MeasurementLabel {
    const char* name;
    const char* unit;
};
inline constexpr std::array<MeasurementLabel, 9> kMeasurementLabels = {{
    {"HR", "[bpm]:"},
    {"PR", "[ms]:"},
    {"P ", "[ms]:"},
    {"QRS", "[ms]:"},
    {"T ", "[ms]:"},
    {"QT/QTc", "[ms]:"},
    {"P/QRS/T", "[deg]:"},
    {"R(V5)/S(V1)", "[µV]:"},
    {"R(V5)+S(V1)", "[µV]:"},
}};

// The nine value texts beside those labels, alike on screen, on paper and in the tools: a value of
// 0 was not measured and shows as "- - "; axes are in degrees with one decimal. A value whose bit
// is set in `corrected` (the MeasurementSet's fields in order, heart rate as bit 0) was corrected
// by the reader and is followed by kCorrectedMark.
inline constexpr char kCorrectedMark[] = "*";
std::array<std::string, 9> MeasurementValueTexts(const MeasurementSet& set, int32_t rV5,
                                                 int32_t sV1, uint32_t corrected = 0);
