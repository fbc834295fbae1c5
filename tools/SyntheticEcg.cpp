#include "tools/SyntheticEcg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "analysis/AnalysisTypes.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Vec3 {
    double x, y, z;  // left, inferior, anterior
};

Vec3 Frontal(double axisDegrees, double amplitude, double anterior)
{
    const double a = axisDegrees * kPi / 180;
    return {amplitude * std::cos(a), amplitude * std::sin(a), anterior};
}

// Frontal leads by their hexaxial angle; chest leads by their angle in the horizontal plane
// (0 = left, 90 = anterior). Chest electrodes lie closer to the heart: larger gain.
Vec3 LeadDirection(int lead)
{
    static const double frontal[6] = {0, 60, 120, -150, -30, 90};
    static const double chest[6] = {115, 94, 76, 60, 30, 0};
    if (lead < 6) {
        const double a = frontal[lead] * kPi / 180;
        // aVR, aVL, aVF are augmented leads: sqrt(3)/2 of the limb-lead projection.
        const double g = lead >= 3 ? std::sqrt(3.0) / 2 : 1.0;
        return {g * std::cos(a), g * std::sin(a), 0};
    }
    const double a = chest[lead - 6] * kPi / 180;
    return {2.2 * std::cos(a), 0, 2.2 * std::sin(a)};
}

struct Component {
    double start;     // ms from P onset
    double duration;  // ms
    Vec3 vector;      // mV
    double skew;      // 0 = symmetric half-sine; > 0 puts the peak later
};

struct BeatModel {
    Component c[6];
    int count = 0;
    double qrsOnset = 0, qrsEnd = 0, tOnset = 0, tEnd = 0;
};

BeatModel Beat(const EcgParameters& p)
{
    BeatModel b;
    b.qrsOnset = p.pr;
    b.qrsEnd = p.pr + p.qrs;
    // T occupies the last 60 % of the time from QRS end to T end, after a flat ST segment.
    b.tEnd = p.pr + p.qt;
    b.tOnset = b.qrsEnd + 0.4 * (b.tEnd - b.qrsEnd);
    const double q = p.qrs;
    b.c[b.count++] = {0, p.pDuration, Frontal(p.pAxis, p.pAmplitude, 0), 0};
    // Septal activation: small, to the right and forward (q in I and V6, r in V1).
    b.c[b.count++] = {b.qrsOnset, 0.2 * q, Frontal(p.qrsAxis + 180, 0.12 * p.rAmplitude, 0.25), 0};
    // Main free-wall activation: along the QRS axis, backward.
    b.c[b.count++] = {b.qrsOnset + 0.2 * q, 0.5 * q, Frontal(p.qrsAxis, p.rAmplitude, -0.55), 0};
    // Terminal basal activation: up and back (S in II, III, V1 ... V3).
    b.c[b.count++] = {b.qrsOnset + 0.7 * q, 0.3 * q,
                      Frontal(p.qrsAxis - 150, 0.3 * p.rAmplitude, -0.35), 0};
    b.c[b.count++] = {b.tOnset, b.tEnd - b.tOnset, Frontal(p.tAxis, p.tAmplitude, 0.1), 0.35};
    return b;
}

double Shape(double phase, double skew)
{
    if (phase <= 0 || phase >= 1)
        return 0;
    // A half-sine whose time axis is bent so the peak moves to (1 + skew) / 2.
    const double peak = (1 + skew) / 2;
    const double u = phase < peak ? 0.5 * phase / peak : 0.5 + 0.5 * (phase - peak) / (1 - peak);
    return std::sin(kPi * u);
}

double BeatValue(const BeatModel& b, const Vec3& lead, double msFromPOnset)
{
    double v = 0;
    for (int i = 0; i < b.count; ++i) {
        const Component& c = b.c[i];
        const double s = Shape((msFromPOnset - c.start) / c.duration, c.skew);
        if (s != 0)
            v += s * (c.vector.x * lead.x + c.vector.y * lead.y + c.vector.z * lead.z);
    }
    return v;
}

double Rr(const EcgParameters& p)
{
    return 60000.0 / p.heartRate;
}

// The P onset of the first beat lies 200 ms into the record, so no beat is cut at the start.
constexpr double kFirstBeat = 200;

double Axis(const BeatModel& b, double from, double to)
{
    double sumI = 0, sumIII = 0;
    for (double t = from; t < to; t += 0.25) {
        sumI += BeatValue(b, LeadDirection(0), t);
        sumIII += BeatValue(b, LeadDirection(2), t);
    }
    return std::atan2(2 * sumIII + sumI, std::sqrt(3.0) * sumI) * 180 / kPi;
}

double ModelValue(const BeatModel& b, double rr, int leadIndex, double seconds)
{
    const double ms = seconds * 1000 - kFirstBeat;
    // A beat can reach into the next RR interval when the rate is high: look one beat back.
    const double k = std::floor(ms / rr);
    const Vec3 lead = LeadDirection(leadIndex);
    return BeatValue(b, lead, ms - k * rr) + BeatValue(b, lead, ms - (k - 1) * rr);
}

}  // namespace

bool EcgPreset(const std::string& name, EcgParameters& out)
{
    EcgParameters p;
    if (name == "normal") {
    } else if (name == "bradycardia") {
        p.heartRate = 48;
        p.qt = 440;
        p.pr = 180;
    } else if (name == "tachycardia") {
        p.heartRate = 125;
        p.qt = 300;
        p.pr = 130;
        p.pDuration = 90;
    } else if (name == "wide-qrs") {
        p.heartRate = 68;
        p.qrs = 150;
        p.qt = 440;
        p.qrsAxis = -10;
        p.tAxis = 160;
    } else {
        return false;
    }
    out = p;
    return true;
}

double EcgLeadValue(const EcgParameters& p, int leadIndex, double seconds)
{
    return ModelValue(Beat(p), Rr(p), leadIndex, seconds);
}

std::vector<DevicePacket> SynthesizeRecord(const EcgParameters& p)
{
    const BeatModel b = Beat(p);
    const double rr = Rr(p);
    std::mt19937 random(p.seed);
    // A spread of 0 is outside the distribution's domain; without noise it is never drawn from.
    std::normal_distribution<double> noise(0.0, p.noise > 0 ? p.noise / 1000.0 : 1.0);
    const int count = p.seconds * kPacketsPerSecond;
    std::vector<DevicePacket> packets;
    packets.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int lead = (i / kPacketsPerLead) % kRecordLeads;
        const double t = static_cast<double>(i) / kPacketsPerSecond;
        double mv = ModelValue(b, rr, lead, t);
        mv += p.wander / 1000.0 * std::sin(2 * kPi * 0.3 * t);
        mv += p.hum / 1000.0 * std::sin(2 * kPi * 50 * t);
        if (p.noise > 0)
            mv += noise(random);
        const long units = std::lround(kBaseline + mv * kUnitsPerMillivolt);
        const bool clipped = units < 0 || units > 1023;
        packets.push_back(MakePacket(static_cast<uint8_t>(lead), static_cast<int>(units), true,
                                     p.filterCode, p.gainCode, false, clipped));
    }
    return packets;
}

EcgGroundTruth GroundTruth(const EcgParameters& p)
{
    const BeatModel b = Beat(p);
    EcgGroundTruth g;
    g.heartRate = p.heartRate;
    g.rr = Rr(p);
    g.pDuration = p.pDuration;
    g.pr = p.pr;
    g.qrs = p.qrs;
    g.qt = p.qt;
    g.tDuration = b.tEnd - b.tOnset;
    g.qtc = p.qt / std::sqrt(g.rr / 1000);
    g.pAxis = Axis(b, 0, p.pDuration);
    g.qrsAxis = Axis(b, b.qrsOnset, b.qrsEnd);
    g.tAxis = Axis(b, b.tOnset, b.tEnd);
    double high = 0, low = 0;
    for (double t = b.qrsOnset; t <= b.qrsEnd; t += 0.25) {
        high = std::max(high, BeatValue(b, LeadDirection(10), t));
        low = std::min(low, BeatValue(b, LeadDirection(6), t));
    }
    g.rV5 = high * 1000;
    g.sV1 = -low * 1000;
    return g;
}

std::string GroundTruthJson(const EcgParameters& p, const EcgGroundTruth& g)
{
    char text[1024];
    std::snprintf(text, sizeof text,
                  "{\n"
                  "  \"seconds\": %d,\n"
                  "  \"heart_rate_bpm\": %.1f,\n"
                  "  \"rr_ms\": %.1f,\n"
                  "  \"p_duration_ms\": %.1f,\n"
                  "  \"pr_ms\": %.1f,\n"
                  "  \"qrs_ms\": %.1f,\n"
                  "  \"t_duration_ms\": %.1f,\n"
                  "  \"qt_ms\": %.1f,\n"
                  "  \"qtc_ms\": %.1f,\n"
                  "  \"p_axis_deg\": %.1f,\n"
                  "  \"qrs_axis_deg\": %.1f,\n"
                  "  \"t_axis_deg\": %.1f,\n"
                  "  \"r_v5_uv\": %.0f,\n"
                  "  \"s_v1_uv\": %.0f,\n"
                  "  \"noise_uv\": %.1f,\n"
                  "  \"wander_uv\": %.1f,\n"
                  "  \"hum_uv\": %.1f,\n"
                  "  \"seed\": %u\n"
                  "}\n",
                  p.seconds, g.heartRate, g.rr, g.pDuration, g.pr, g.qrs, g.tDuration, g.qt,
                  g.qtc, g.pAxis, g.qrsAxis, g.tAxis, g.rV5, g.sV1, p.noise, p.wander, p.hum,
                  p.seed);
    return text;
}
