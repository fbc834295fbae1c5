#include "analysis/Delineation.h"

#include "analysis/SignalConditioning.h"

#include <algorithm>

namespace {

// A lead's column as one signal, read at clamped positions as the deviation sums require.
struct Column {
    const AverageBeatMatrix& beats;
    int lead;
    int32_t operator[](int32_t k) const
    {
        return beats.At(std::clamp<int32_t>(k, 0, kBeatSamples - 1), lead);
    }
    Extremes Find(int32_t from, int32_t to) const
    {
        return FindExtremes(beats.Data(), kBeatSamples, from, to, kLeadCount, lead);
    }
};

// Sum over j = -5 ... 4 of |x[k + j] - ref|.
int32_t Deviation(const Column& x, int32_t k, int32_t ref)
{
    int32_t sum = 0;
    for (int32_t j = -5; j <= 4; ++j)
        sum += Abs32(x[k + j] - ref);
    return sum;
}

void DelineatePWave(const Column& x, const WavePoints& g, WavePoints& points)
{
    // Deviation from the chord joining the lead's values at the record's P onset and P end;
    // positions outside the computed range stay 0.
    BeatSignal d{};
    const int32_t span = g.pEnd - g.pOnset;
    const int32_t rise = x[g.pEnd] - x[g.pOnset];
    for (int32_t k = 5; k < g.pEnd && k < kBeatSamples; ++k) {
        const int32_t chord = (g.pEnd - k) * rise / span;
        int32_t sum = 0;
        for (int32_t j = -5; j <= 4; ++j)
            sum += Abs32(x[k + j] + chord - x[g.pEnd]);
        d[k] = sum;
    }
    const Extremes e = FindExtremes(d, g.pOnset, g.pEnd);
    if (e.maxValue - e.minValue >= 20) {
        const int32_t thr = e.minValue + (e.maxValue - e.minValue) / 4;
        const int32_t middle = (g.pOnset + g.pEnd) / 2;
        points.pOnset = FindQuietPoint(d, middle, g.pOnset, 4, thr);
        points.pEnd = FindQuietPoint(d, middle, g.pEnd, 4, thr);
    } else {
        points.pOnset = points.pEnd = e.maxPos;  // no P wave in this lead
    }
}

void DelineateTWave(const Column& x, const WavePoints& g, WavePoints& points)
{
    const Extremes e = x.Find(g.tOnset, g.tEnd);
    const int32_t atOnset = x[g.tOnset];
    const int32_t atEnd = x[g.tEnd];
    const int32_t ref = e.maxValue + e.minValue <= atOnset + atEnd ? std::max(atOnset, atEnd)
                                                                    : std::min(atOnset, atEnd);
    BeatSignal d{};
    for (int32_t k = std::max<int32_t>(g.qrsEnd, 0); k < kBeatSamples; ++k)
        d[k] = Deviation(x, k, ref);
    const Extremes de = FindExtremes(d, g.tOnset, g.tEnd);
    const int32_t p = de.maxPos;
    points.tOnset = points.tEnd = p;
    if (de.maxValue > 30) {
        const int32_t m1 = FindExtremes(d, g.tOnset, p).minValue;
        const int32_t m2 = FindExtremes(d, p, g.tEnd).minValue;
        points.tOnset = FindQuietPoint(d, p, g.tOnset, 13, m1 + (de.maxValue - m1) / 8);
        points.tEnd = FindQuietPoint(d, p, g.tEnd, 10, m2 + (de.maxValue - m2) / 6);
    }
}

void DelineateQrs(const Column& x, const WavePoints& g, WavePoints& points)
{
    const int32_t q = x.Find(g.qrsOnset - 4, g.qrsEnd + 4).maxPos;
    BeatSignal d{};
    for (int32_t k = g.qrsOnset - 8; k <= g.qrsEnd + 3; ++k) {
        if (k < 0 || k >= kBeatSamples)
            continue;
        d[k] = Deviation(x, k, k < q ? x[g.qrsOnset] : x[g.qrsEnd]);
    }
    const Extremes e = FindExtremes(d, g.qrsOnset, g.qrsEnd);
    const int32_t p = e.maxPos;
    const int32_t m1 = FindExtremes(d, g.qrsOnset, p).minValue;
    const int32_t m2 = FindExtremes(d, p, g.qrsEnd).minValue;
    points.qrsOnset = FindQuietPoint(d, p, g.qrsOnset, 5, m1 + (e.maxValue - m1) / 15);
    points.qrsEnd = FindQuietPoint(d, p, g.qrsEnd, 5, m2 + (e.maxValue - m2) / 15);
}

}  // namespace

void DelineateGlobal(const AverageBeatMatrix& beats, int pass, int32_t referenceRr,
                     WavePoints& points)
{
    BeatSignal v;
    ComputeSpatialVelocity(beats, v);

    const Extremes qrs = FindExtremes(v, kBeatFiducial, 160);
    const int32_t thQ = qrs.minValue + (qrs.maxValue - qrs.minValue) / 10;
    const int32_t on = FindQuietPoint(v, kBeatFiducial, 80, 4, thQ);
    const int32_t end = FindQuietPoint(v, kBeatFiducial, 160, 4, thQ);
    points.qrsOnset = on;
    points.qrsEnd = end;
    points.fiducial = kBeatFiducial;
    if (pass == 0)
        return;

    const int32_t rr = referenceRr;
    const int32_t third = (rr / 3) * 400 / 1000;

    // P wave: the velocity peak in the PR interval, bounded by the quiet stretch before the QRS.
    const int32_t a = FindExtremes(v, on - 24, on).minPos;
    const int32_t start = std::max(a - 48, on - third);
    int32_t pPeak = FindExtremes(v, start, a).maxPos;
    int32_t pEnd = FindExtremes(v, std::max(pPeak, on - 20), on - 4).minPos;
    const Extremes before = FindExtremes(v, std::max(pPeak - 48, 0), pPeak);
    const int32_t b = before.minPos;
    const int32_t thP = before.minValue + (before.maxValue - before.minValue) / 7;
    int32_t pOnset = FindQuietPoint(v, pPeak, b + (pPeak - b) / 4, 5, thP);

    if (Abs32(pOnset - pEnd) < 6) {
        // Too short to be a P wave: look again further from the QRS.
        pEnd = pOnset;
        const int32_t s = std::max(FindExtremes(v, on - 140, on - 40).maxPos, on - third);
        pPeak = s;
        const int32_t endLevel = FindExtremes(v, s, on - 40).minValue + 4;
        pEnd = FindQuietPoint(v, s, on - 40, 5, endLevel);
        const int32_t onsetLevel = FindExtremes(v, std::max(6, s - 40), s).minValue + 4;
        pOnset = FindQuietPoint(v, s, s - 40, 5, onsetLevel);
    }
    points.pOnset = pOnset;
    points.pEnd = pEnd;
    points.pPeak = pPeak;

    // T wave: the velocity peak after the quiet point that follows the QRS.
    const int32_t t0 = FindExtremes(v, end + 4, end + 20).minPos;
    const int32_t tHi = std::min(t0 + 60, kBeatSamples);
    const Extremes t = FindExtremes(v, t0, tHi);
    const int32_t thT = t.minValue + (t.maxValue - t.minValue) / 5;
    points.tPeak = t.maxPos;
    points.tOnset = FindQuietPoint(v, t.maxPos, t0, 12, thT);
    points.tEnd = FindQuietPoint(v, t.maxPos, end + (rr * 45 / 100) * 400 / 1000, 12, thT);
}

void DelineateLead(const AverageBeatMatrix& beats, int lead, const WavePoints& global,
                   WavePoints& points)
{
    const Column x{beats, lead};
    if (global.pOnset != global.pEnd) {
        points = global;
        DelineatePWave(x, global, points);
    }
    DelineateTWave(x, global, points);
    DelineateQrs(x, global, points);
}
