#pragma once
// A small 12-lead ECG model for demo records, tests and benchmarks. The heart's electrical
// activity is a sequence of dipole components (P, three for QRS, T), each a half-sine in time
// along a fixed 3-D direction; every lead is the projection of that dipole on the lead's
// direction. The record is acquired the way the recorder does it: 4 s of lead I, then II, ...,
// V6, with the rhythm running on across the lead changes.
#include <cstdint>
#include <string>
#include <vector>

#include "device/DevicePacket.h"

struct EcgParameters {
    double heartRate = 72;        // beats per minute
    double pDuration = 100;       // ms
    double pr = 160;              // ms, P onset to QRS onset
    double qrs = 90;              // ms
    double qt = 380;              // ms, QRS onset to T end
    double pAxis = 50;            // frontal axes in degrees
    double qrsAxis = 45;
    double tAxis = 40;
    double rAmplitude = 1.2;      // mV, main QRS vector
    double pAmplitude = 0.15;     // mV
    double tAmplitude = 0.35;     // mV
    double noise = 0;             // µV rms, white
    double wander = 0;            // µV, 0.3 Hz baseline wander
    double hum = 0;               // µV, 50 Hz mains
    int seconds = kRecordSeconds;
    uint32_t seed = 1;
    uint8_t filterCode = 1;       // as the recorder reports it: 35Hz
    uint8_t gainCode = 1;         // 10 mm/mV
};

// What the model puts in, for comparing with what the analysis measures.
struct EcgGroundTruth {
    double heartRate = 0;
    double rr = 0;                // ms
    double pDuration = 0;
    double pr = 0;
    double qrs = 0;
    double tDuration = 0;         // ms, T onset to T end
    double qt = 0;
    double qtc = 0;               // Bazett, ms
    double pAxis = 0;             // degrees, from the lead I and III areas of the wave
    double qrsAxis = 0;
    double tAxis = 0;
    double rV5 = 0;               // µV, highest QRS value of V5
    double sV1 = 0;               // µV, depth of the deepest QRS value of V1 (positive)
};

// Named presets for the demo records: "normal", "bradycardia", "tachycardia", "wide-qrs".
bool EcgPreset(const std::string& name, EcgParameters& out);

// The noiseless model value of a lead at a time, in mV.
double EcgLeadValue(const EcgParameters& p, int leadIndex, double seconds);

// The record: p.seconds × 800 packets, lead index changing every 3200 packets.
std::vector<DevicePacket> SynthesizeRecord(const EcgParameters& p);
EcgGroundTruth GroundTruth(const EcgParameters& p);
std::string GroundTruthJson(const EcgParameters& p, const EcgGroundTruth& truth);
