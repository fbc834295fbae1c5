#pragma once
// Conditioning of one lead segment (input ring, 12-point moving average, SlopeEnergy) and the
// signal primitives the later stages share.
#include "analysis/AnalysisTypes.h"

#include <array>
#include <cstdint>

constexpr int kRingSize = 400;

// Position p of a ring or signal of length n lives at entry p mod n (mathematical modulo, so a
// position before the start of the lead reads the entry a full turn later).
inline int WrapIndex(int32_t p, int n)
{
    int r = static_cast<int>(p % n);
    return r < 0 ? r + n : r;
}

inline int32_t Abs32(int32_t v) { return v < 0 ? -v : v; }

// The three rings of one lead segment. Positions count from the start of the lead.
struct SignalRings {
    std::array<int32_t, kRingSize> input{};
    std::array<int32_t, kRingSize> smoothed{};
    std::array<int32_t, kRingSize> energy{};
    int32_t inputCount = 0;
    int32_t smoothedCount = 0;
    int32_t energyCount = 0;

    int32_t Input(int32_t p) const { return input[WrapIndex(p, kRingSize)]; }
    int32_t Smoothed(int32_t p) const { return smoothed[WrapIndex(p, kRingSize)]; }
    int32_t Energy(int32_t p) const { return energy[WrapIndex(p, kRingSize)]; }

    void Push(int32_t value);
    void EmptyInput();
    // Smoothed and SlopeEnergy rings and their counts; the input ring is the caller's.
    void ClearLead();

    // One unit of work each; nothing happens until the input is far enough ahead.
    void SmoothingStep();
    void SlopeStep();
};

// First position of the largest and of the smallest value over from <= p < to (the element of p
// is signal[(p mod length) * stride + offset]). An empty range gives from for both.
struct Extremes {
    int32_t maxPos = 0;
    int32_t minPos = 0;
    int32_t maxValue = 0;
    int32_t minValue = 0;
};
Extremes FindExtremes(const int32_t* signal, int length, int32_t from, int32_t to, int stride = 1,
                      int offset = 0);

// Steps from start toward limit (both clamped into run ... length - run) and returns the first
// position whose window p - run <= k < p + run holds at most run values above threshold, or the
// clamped limit when none does.
int32_t FindQuietPoint(const int32_t* signal, int length, int32_t start, int32_t limit, int stride,
                       int offset, int run, int32_t threshold);
inline int32_t FindQuietPoint(const std::array<int32_t, kBeatSamples>& signal, int32_t start,
                              int32_t limit, int run, int32_t threshold)
{
    return FindQuietPoint(signal.data(), kBeatSamples, start, limit, 1, 0, run, threshold);
}
inline Extremes FindExtremes(const std::array<int32_t, kBeatSamples>& signal, int32_t from,
                             int32_t to)
{
    return FindExtremes(signal.data(), kBeatSamples, from, to);
}

using BeatSignal = std::array<int32_t, kBeatSamples>;

// V[k] = sum over the leads of |A[k+4] - A[k-4]| for k = 4 ... 275, zero at both ends.
void ComputeSpatialVelocity(const AverageBeatMatrix& beats, BeatSignal& velocity);

// Makes the PR segment just before the QRS onset q the zero line of every lead.
void CorrectIsoelectric(AverageBeatMatrix& beats, int32_t qrsOnset);
