#include "analysis/Measurements.h"

#include "analysis/SignalConditioning.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

namespace {

int32_t SamplesToMs(int32_t samples) { return samples * 1000 / kEngineRate; }

// A lead's column. Reads beyond the averaged window (an ST level late after a late QRS end)
// take its edge sample.
struct Column {
    const AverageBeatMatrix& beats;
    int lead;
    int32_t operator[](int32_t k) const
    {
        return beats.At(std::clamp<int32_t>(k, 0, kBeatSamples - 1), lead);
    }
};

int32_t MicroVolts(int32_t value, int32_t base) { return (value - base) * 1000 / kUnitsPerMillivolt; }

// Boundaries of the zero-crossing segments of from ... to: from, each crossing, then to.
constexpr int kMaxSegments = 18;
struct Segments {
    std::array<int32_t, kMaxSegments + 1> bound{};
    int count = 0;  // segments; bound[count] is the end of the last
};

Segments SegmentAtCrossings(const Column& x, int32_t base, int32_t from, int32_t to)
{
    Segments s;
    s.bound[s.count++] = from;
    for (int32_t p = from + 1; p < to - 1 && s.count < kMaxSegments; ++p)
        if ((x[p - 1] - base) * (x[p] - base) < 1 && x[p - 1] != base)
            s.bound[s.count++] = p;
    s.bound[s.count] = to;
    return s;
}

struct Part {
    int32_t start = 0;
    int32_t end = 0;
    int32_t sign = 0;  // +1 or -1
    int32_t area = 0;  // signed area, µV·samples ×2
};

// Where a skipped stretch lies between two kept parts, both meet in its middle.
void CloseGaps(Part* parts, int count)
{
    for (int i = 0; i + 1 < count; ++i)
        if (parts[i].end != parts[i + 1].start) {
            const int32_t middle = (parts[i].end + parts[i + 1].start) / 2;
            parts[i].end = parts[i + 1].start = middle;
        }
}

// Position of the maximum (positive) or minimum over start ... end - 1, earliest on ties.
int32_t PeakPosition(const Column& x, int32_t start, int32_t end, bool positive)
{
    int32_t best = start;
    for (int32_t p = start + 1; p < end; ++p)
        if (positive ? x[p] > x[best] : x[p] < x[best])
            best = p;
    return best;
}

bool Reached(int32_t value, int32_t level, bool positive)
{
    return positive ? value >= level : value <= level;
}

// Width at half amplitude. A part covers start ... end - 1 and its end is the boundary position
// itself (the first sample past the crossing, or the QRS end), so the two half levels are taken
// between the peak and the values at start and at end, and each crossing is searched from that
// position toward the peak.
int32_t HalfWidth(const Column& x, int32_t start, int32_t end, int32_t peak, bool positive)
{
    if (end <= start)
        return 0;
    const int32_t leftLevel = (x[start] + x[peak]) / 2;
    int32_t left = start;
    while (left < peak && !Reached(x[left], leftLevel, positive))
        ++left;
    const int32_t rightLevel = (x[end] + x[peak]) / 2;
    int32_t right = end;
    while (right > peak && !Reached(x[right], rightLevel, positive))
        --right;
    return SamplesToMs(right - left);
}

// Value k samples after the wave first leaves the base level toward its peak.
int32_t EarlySlope(const Column& x, int32_t base, int32_t start, int32_t peak, int32_t k)
{
    const bool positive = x[peak] - base > 0;
    for (int32_t p = start; p <= peak; ++p) {
        const int32_t dev = x[p] - base;
        if (Abs32(dev) > 1 && (dev > 0) == positive)
            return peak - p >= k ? MicroVolts(x[p + k], base) : 0;
    }
    return 0;
}

void MeasureQrs(const Column& x, int32_t base, int32_t onset, int32_t end, LeadMeasurements& v)
{
    const Segments seg = SegmentAtCrossings(x, base, onset, end);
    const int32_t minRun = 6 * kEngineRate / 1000;  // 6 ms
    std::array<Part, kMaxSegments> kept{};
    int count = 0;
    bool lastSkipped = false;
    for (int i = 0; i < seg.count; ++i) {
        const int32_t s = seg.bound[i];
        const int32_t e = seg.bound[i + 1];
        const bool last = i == seg.count - 1;
        const int32_t noise = (count == 0 ? 35 : 100) * kUnitsPerMillivolt / 1000;
        // The peak is the deviation of largest size (keeping its sign) among samples that close
        // a run of at least minRun samples above the noise level.
        int32_t run = 0;
        int32_t peak = 0;
        bool found = false;
        for (int32_t p = s; p < e; ++p) {
            const int32_t dev = x[p] - base;
            run = Abs32(dev) > noise ? run + 1 : 0;
            if (run >= minRun && (!found || Abs32(dev) > Abs32(peak))) {
                peak = dev;
                found = true;
            }
        }
        if (!found) {
            lastSkipped = last;
            continue;
        }
        if (last) {
            // A last wave that does not stand 100 µV clear of where the QRS ends is its tail;
            // the end value is the value at the segment's end position, the QRS end.
            const int32_t endValue = x[e] - base;
            if ((peak > 0 && peak - endValue < 8) || (peak < 0 && endValue - peak < 8)) {
                lastSkipped = true;
                break;
            }
        }
        const int32_t sign = peak > 0 ? 1 : -1;
        if (count > 0 && kept[count - 1].sign == sign)
            kept[count - 1].end = e;
        else
            kept[count++] = {s, e, sign, 0};
    }
    if (lastSkipped && count > 0)
        kept[count - 1].end = end;
    CloseGaps(kept.data(), count);

    for (int i = 0; i < count && i < 5; ++i) {
        const Part& k = kept[i];
        const bool positive = i == 4 ? false : k.sign > 0;  // the fifth part is taken at its minimum
        const int32_t peak = PeakPosition(x, k.start, k.end, positive);
        const int32_t amplitude = MicroVolts(x[peak], base);
        const int32_t duration = SamplesToMs(k.end - k.start);
        const int32_t halfWidth = HalfWidth(x, k.start, k.end, peak, positive);
        auto put = [&](int amp, int dur, int hw) {
            v[amp] = amplitude;
            v[dur] = duration;
            if (hw >= 0)
                v[hw] = halfWidth;
        };
        switch (i) {
        case 0:
            if (positive) {
                put(kFieldR, kFieldRd, kFieldRhw);
                v[kFieldRUp6] = EarlySlope(x, base, k.start, peak, 6);
                v[kFieldRUp11] = EarlySlope(x, base, k.start, peak, 11);
            } else {
                put(kFieldQ, kFieldQd, -1);
                v[kFieldQDown6] = EarlySlope(x, base, k.start, peak, 6);
                v[kFieldQDown11] = EarlySlope(x, base, k.start, peak, 11);
                if (count == 1) {  // QS: one deflection stands for both Q and S
                    v[kFieldS] = amplitude;
                    v[kFieldQd] = v[kFieldSd] = duration / 2;
                }
            }
            break;
        case 1:
            positive ? put(kFieldR, kFieldRd, kFieldRhw) : put(kFieldS, kFieldSd, kFieldShw);
            break;
        case 2:
            positive ? put(kFieldR2, kFieldR2d, kFieldR2hw) : put(kFieldS, kFieldSd, kFieldShw);
            break;
        case 3:
            positive ? put(kFieldR2, kFieldR2d, kFieldR2hw) : put(kFieldS2, kFieldS2d, kFieldS2hw);
            break;
        default:
            put(kFieldS2, kFieldS2d, kFieldS2hw);
            break;
        }
    }
}

void Areas(const Column& x, int32_t base, int32_t start, int32_t end, int32_t& signedArea,
           int32_t& absArea)
{
    signedArea = 0;
    absArea = 0;
    for (int32_t p = start; p < end; ++p) {
        signedArea += 2 * MicroVolts(x[p], base);
        absArea += 2 * (Abs32(x[p] - base) * 1000 / kUnitsPerMillivolt);
    }
}

// Only the first four phases have fields; later ones are not stored.
void StorePhases(const Column& x, int32_t base, const Part* parts, int count, LeadMeasurements& v,
                 int ampField, int durField)
{
    for (int i = 0; i < count && i < 4; ++i) {
        const bool positive = parts[i].area >= 1;
        const int32_t peak = PeakPosition(x, parts[i].start, parts[i].end, positive);
        v[ampField + i] = MicroVolts(x[peak], base);
        v[durField + i] = SamplesToMs(parts[i].end - parts[i].start);
    }
}

void MeasurePWave(const Column& x, int32_t base, int32_t onset, int32_t end, LeadMeasurements& v)
{
    const Segments seg = SegmentAtCrossings(x, base, onset, end);
    std::array<Part, kMaxSegments> kept{};
    int count = 0;
    for (int i = 0; i < seg.count; ++i) {
        Part p{seg.bound[i], seg.bound[i + 1], 0, 0};
        int32_t absArea = 0;
        Areas(x, base, p.start, p.end, p.area, absArea);
        if (absArea > 200) {
            p.sign = p.area >= 1 ? 1 : -1;
            kept[count++] = p;
        }
    }
    CloseGaps(kept.data(), count);
    StorePhases(x, base, kept.data(), count, v, kFieldP1, kFieldPd1);
}

// Moves at least one unit from `from` in the direction of the part's sign somewhere inside it.
bool MovesBeyond(const Column& x, const Part& p, int32_t from)
{
    const bool positive = p.sign > 0;
    if (p.end <= p.start)
        return false;
    const int32_t extreme = x[PeakPosition(x, p.start, p.end, positive)];
    return positive ? extreme - from >= 1 : from - extreme >= 1;
}

void MeasureTWave(const Column& x, int32_t base, int32_t onset, int32_t end, LeadMeasurements& v)
{
    const Segments seg = SegmentAtCrossings(x, base, onset, end);
    std::array<Part, kMaxSegments> kept{};
    int count = 0;
    bool lastKept = false;
    for (int i = 0; i < seg.count; ++i) {
        Part p{seg.bound[i], seg.bound[i + 1], 0, 0};
        int32_t absArea = 0;
        Areas(x, base, p.start, p.end, p.area, absArea);
        lastKept = absArea >= 1001;
        if (!lastKept)
            continue;
        if (count == 0)
            p.start = onset;
        p.sign = p.area >= 1 ? 1 : -1;
        kept[count++] = p;
    }
    if (!lastKept && count > 0)
        kept[count - 1].end = end;
    CloseGaps(kept.data(), count);

    if (count > 1 && !MovesBeyond(x, kept[0], x[kept[0].start])) {
        // A first phase that never leaves its start value is the tail of the ST segment.
        kept[1].start = kept[0].start;
        kept[1].area += kept[0].area;
        std::copy(kept.begin() + 1, kept.begin() + count, kept.begin());
        --count;
    }
    if (count > 1 && !MovesBeyond(x, kept[count - 1], x[kept[0].start])) {
        kept[count - 2].end = kept[count - 1].end;
        kept[count - 2].area += kept[count - 1].area;
        --count;
    }
    StorePhases(x, base, kept.data(), count, v, kFieldT1, kFieldTd1);
}

}  // namespace

int32_t HeartRate(int32_t referenceRr)
{
    const int32_t rate = 60000 / std::max<int32_t>(referenceRr, 1);
    return rate < 0 ? 0 : rate;
}

int32_t CorrectedQt(int32_t qt, int32_t referenceRr)
{
    if (referenceRr < 1)
        return 0;
    const int32_t root = static_cast<int32_t>(std::sqrt(static_cast<double>(referenceRr)));
    return static_cast<int32_t>(std::sqrt(1000.0) * qt / root);
}

float ComputeAxis(const AverageBeatMatrix& beats, int32_t qrsOnset, int32_t from, int32_t to)
{
    if (from == to)
        return 0;
    const Column leadI{beats, kLeadI};
    const Column leadIII{beats, kLeadIII};
    const int32_t baseI = leadI[qrsOnset - 4];
    const int32_t baseIII = leadIII[qrsOnset - 4];
    float sumI = 0;
    float sumIII = 0;
    for (int32_t k = from; k < to; ++k) {
        sumI += static_cast<float>(leadI[k] - baseI);
        sumIII += static_cast<float>(leadIII[k] - baseIII);
    }
    const float y = 2.0f * sumIII + sumI;
    const double angle = std::atan2(static_cast<double>(y), std::sqrt(3.0) * sumI);
    return static_cast<float>(angle * 180.0 / std::numbers::pi * 10.0);
}

void MeasureRecord(const AverageBeatMatrix& beats, const WavePoints& g, int32_t referenceRr,
                   MeasurementSet& set)
{
    set.pDuration = SamplesToMs(g.pEnd - g.pOnset);
    set.pr = set.pDuration == 0 ? 0 : SamplesToMs(g.qrsOnset - g.pOnset);
    set.qrs = SamplesToMs(g.qrsEnd - g.qrsOnset);
    set.tDuration = SamplesToMs(g.tEnd - g.tOnset);
    set.qt = SamplesToMs(g.tEnd - g.qrsOnset);
    if (referenceRr != 0) {
        set.heartRate = HeartRate(referenceRr);
        // A negative RR (not produced by the detector) has no root; QTc is then left alone.
        if (referenceRr > 0)
            set.qtc = CorrectedQt(set.qt, referenceRr);
    }
    set.pAxis = ComputeAxis(beats, g.qrsOnset, g.pOnset, g.pEnd);
    set.qrsAxis = ComputeAxis(beats, g.qrsOnset, g.qrsOnset, g.qrsEnd);
    set.tAxis = ComputeAxis(beats, g.qrsOnset, g.tOnset, g.tEnd);
}

LeadMeasurements MeasureLead(const AverageBeatMatrix& beats, int lead, const WavePoints& points)
{
    LeadMeasurements v{};
    const Column x{beats, lead};
    const int32_t base = x[points.qrsOnset - 8];
    MeasureQrs(x, base, points.qrsOnset, points.qrsEnd, v);
    MeasurePWave(x, base, points.pOnset, points.pEnd, v);
    MeasureTWave(x, base, points.tOnset, points.tEnd, v);
    for (int i = 0; i < 5; ++i)
        v[kFieldStJ + i] = MicroVolts(x[points.qrsEnd + 8 * i], base);
    int32_t area = 0;
    for (int32_t k = points.qrsOnset; k < points.qrsEnd; ++k)
        area += 2 * MicroVolts(x[k], base);
    v[kFieldQrsArea] = area;
    return v;
}

QrsShapeLabel BuildQrsShapeLabel(const LeadMeasurements& v)
{
    QrsShapeLabel label{};
    size_t n = 0;
    auto add = [&](const char* letters) {
        for (; *letters != 0 && n + 1 < label.size(); ++letters)
            label[n++] = *letters;
    };
    auto negative = [&](int32_t value, const char* small, const char* large) {
        if (value < -500)
            add(large);
        else if (value < -29)
            add(small);
    };
    auto positive = [&](int32_t value, const char* small, const char* large) {
        if (value > 500)
            add(large);
        else if (value >= 30)
            add(small);
    };
    negative(v[kFieldQ], "q", "Q");
    positive(v[kFieldR], "r", "R");
    negative(v[kFieldS], "s", "S");
    positive(v[kFieldR2], "r'", "R'");
    negative(v[kFieldS2], "s'", "S'");
    return label;
}

std::array<std::string, 9> MeasurementValueTexts(const MeasurementSet& m, int32_t rV5, int32_t sV1,
                                                 uint32_t corrected)
{
    auto mark = [corrected](int field, std::string text) {
        return corrected & (1u << field) ? text + kCorrectedMark : text;
    };
    auto number = [](int32_t v) { return v == 0 ? std::string("- - ") : std::to_string(v); };
    // Axes are kept in tenths of a degree.
    auto axis = [](float tenths) {
        if (tenths == 0)
            return std::string("- - ");
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", static_cast<double>(tenths) / 10);
        return std::string(text);
    };
    return {
        mark(0, number(m.heartRate)),
        mark(2, number(m.pr)),
        mark(1, number(m.pDuration)),
        mark(3, number(m.qrs)),
        mark(4, number(m.tDuration)),
        mark(5, number(m.qt)) + " / " + mark(6, number(m.qtc)),
        mark(7, axis(m.pAxis)) + "/" + mark(8, axis(m.qrsAxis)) + "/" + mark(9, axis(m.tAxis)),
        number(rV5) + " / " + number(sV1),
        number(std::abs(rV5) + std::abs(sV1)),
    };
}
