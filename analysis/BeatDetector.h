#pragma once
// QRS detection on the SlopeEnergy of one lead segment, the running sum of its average beat, and
// the record-wide RR statistics from which the ReferenceRr is chosen.
#include "analysis/AnalysisTypes.h"
#include "analysis/SignalConditioning.h"

#include <array>
#include <cstdint>

struct BeatRecord {
    int32_t onset = 0;
    int32_t fiducial = 0;
    int32_t end = 0;
    int32_t rr = 0;     // samples since the previous beat's fiducial, at most 32767
    int32_t width = 0;  // end - onset, 0 ... 160
    int8_t wideNoise = 0;    // rejected too-wide candidates inherited by this beat
    int8_t narrowNoise = 0;  // rejected too-narrow candidates inherited by this beat
    int32_t beatType = 0;    // 2 = keep out of the average
};

constexpr int kBeatRing = 20;
constexpr int32_t kThresholdStart = 80;
constexpr int32_t kThresholdLow = 16;  // also the marking level of the onset search
constexpr int32_t kThresholdHigh = 400;
constexpr int32_t kRefractory = 72;    // samples from an onset (180 ms)
constexpr int32_t kNarrowest = 17;     // accepted widths, samples
constexpr int32_t kWidest = 100;
constexpr int32_t kAverageAfter = 160;  // a beat is averaged this many samples after its fiducial
constexpr int kBeatTypeExcluded = 2;

class BeatDetector {
public:
    void Reset();

    // One detection step and one averaging step; each returns at once when its input is not yet
    // far enough ahead. referenceRr is in ms, 0 when not known.
    void DetectionStep(const SignalRings& rings, int32_t referenceRr);
    void AveragingStep(const SignalRings& rings);

    // Average beat of the lead (sum / count); false and all zero when no beat was averaged.
    // Resets the averaged-beat count, as closing a lead does.
    bool TakeAverageBeat(std::array<int32_t, kBeatSamples>& beat);
    // Mean (samples) and variance (samples²) of the beat-to-beat intervals; false with fewer
    // than two beats.
    bool RrStatistics(int32_t& mean, int32_t& variance) const;

    int32_t Threshold() const { return threshold_; }
    int32_t Position() const { return position_; }
    bool InQrs() const { return inQrs_ != 0; }
    int8_t BeatCount() const { return beatCount_; }
    uint8_t AveragedCount() const { return averagedCount_; }
    const BeatRecord& Beat(int slot) const { return beats_[slot]; }
    const BeatRecord& Current() const { return current_; }

private:
    void Accept(const SignalRings& rings, int32_t referenceRr);
    void Reject(int32_t width);
    static int32_t ClampThreshold(int32_t t);

    int32_t threshold_ = kThresholdStart;
    int32_t position_ = 0;    // next SlopeEnergy position to examine
    int32_t inQrs_ = 0;
    int32_t refractory_ = 0;  // onset of the complex that opened the refractory window
    BeatRecord current_;
    std::array<BeatRecord, kBeatRing> beats_{};
    int8_t beatCount_ = 0;
    std::array<int32_t, 4> peaks_{};
    std::array<int32_t, kBeatSamples> sum_{};
    uint8_t averagedCount_ = 0;
    int8_t lastAveraged_ = 0;
};

// Record-wide rhythm state: per-lead RR statistics and the ReferenceRr chosen from them.
struct RrStatistic {
    int32_t mean = 0;      // samples
    int32_t variance = 0;  // samples²
};

class RecordRhythm {
public:
    void Clear();
    // Closing of lead `lead`: records its statistics when it has them and chooses the
    // ReferenceRr as soon as a regular lead is seen, or after the last lead.
    void FinishLead(int lead, bool hasStatistics, int32_t mean, int32_t variance);

    int32_t ReferenceRr() const { return referenceRr_; }  // ms, 0 = not known
    bool FixedFromRegularLead() const { return fixedFromRegularLead_; }
    const std::array<RrStatistic, kLeadCount>& Statistics() const { return statistics_; }

private:
    int32_t referenceRr_ = 0;
    bool fixedFromRegularLead_ = false;
    std::array<RrStatistic, kLeadCount> statistics_{};
};
