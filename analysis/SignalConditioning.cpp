#include "analysis/SignalConditioning.h"

#include <algorithm>

void SignalRings::Push(int32_t value)
{
    input[WrapIndex(inputCount, kRingSize)] = value;
    ++inputCount;
}

void SignalRings::EmptyInput()
{
    input.fill(0);
    inputCount = 0;
}

void SignalRings::ClearLead()
{
    smoothed.fill(0);
    energy.fill(0);
    smoothedCount = 0;
    energyCount = 0;
}

void SignalRings::SmoothingStep()
{
    const int32_t n = smoothedCount;
    // The average runs forward from n, and waits for three samples beyond its window.
    if (!(n + 14 < inputCount))
        return;
    int32_t sum = 0;
    for (int32_t i = 0; i < 12; ++i)
        sum += Input(n + i);
    smoothed[WrapIndex(n, kRingSize)] = sum / 12;
    ++smoothedCount;
}

void SignalRings::SlopeStep()
{
    const int32_t m = smoothedCount;
    if (!(energyCount + 32 < m))
        return;
    const int32_t d = Abs32(Smoothed(m - 1) - Smoothed(m - 5));
    // Centred squared slope: the value at m - 3 is (y[m-1] - y[m-5])^2.
    energy[WrapIndex(m - 3, kRingSize)] = d * d;
    ++energyCount;
}

Extremes FindExtremes(const int32_t* signal, int length, int32_t from, int32_t to, int stride,
                      int offset)
{
    Extremes e;
    e.maxPos = e.minPos = from;
    e.maxValue = e.minValue = signal[WrapIndex(from, length) * stride + offset];
    for (int32_t p = from + 1; p < to; ++p) {
        const int32_t v = signal[WrapIndex(p, length) * stride + offset];
        if (v > e.maxValue) {
            e.maxValue = v;
            e.maxPos = p;
        }
        if (v < e.minValue) {
            e.minValue = v;
            e.minPos = p;
        }
    }
    return e;
}

int32_t FindQuietPoint(const int32_t* signal, int length, int32_t start, int32_t limit, int stride,
                       int offset, int run, int32_t threshold)
{
    start = std::clamp<int32_t>(start, run, length - run);
    limit = std::clamp<int32_t>(limit, run, length - run);
    const int32_t step = start >= limit ? -1 : 1;
    // The limit itself need not be tested: it is the answer whether it is quiet or not.
    for (int32_t p = start; p != limit; p += step) {
        int count = 0;
        for (int32_t k = p - run; k < p + run; ++k)
            if (signal[WrapIndex(k, length) * stride + offset] > threshold)
                ++count;
        if (count <= run)
            return p;
    }
    return limit;
}

void ComputeSpatialVelocity(const AverageBeatMatrix& beats, BeatSignal& velocity)
{
    velocity.fill(0);
    for (int k = 4; k <= 275; ++k) {
        int32_t sum = 0;
        for (int lead = 0; lead < kLeadCount; ++lead)
            sum += Abs32(beats.At(k + 4, lead) - beats.At(k - 4, lead));
        velocity[k] = sum;
    }
}

void CorrectIsoelectric(AverageBeatMatrix& beats, int32_t qrsOnset)
{
    // Three samples well before the onset: the onset itself may already be on the QRS slope.
    const int i6 = WrapIndex(qrsOnset - 6, kBeatSamples);
    const int i7 = WrapIndex(qrsOnset - 7, kBeatSamples);
    const int i8 = WrapIndex(qrsOnset - 8, kBeatSamples);
    for (int lead = 0; lead < kLeadCount; ++lead) {
        const int32_t level = (beats.At(i6, lead) + beats.At(i7, lead) + beats.At(i8, lead)) / 3;
        for (int k = 0; k < kBeatSamples; ++k)
            beats.At(k, lead) -= level;
    }
}
