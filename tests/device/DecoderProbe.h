#pragma once
// A packet sink and an analysis feed that keep what the decoder hands them, for decoder tests.
#include <string>
#include <vector>

#include "device/AnalysisFeed.h"
#include "device/PacketSink.h"

struct ProbeSink final : PacketSink {
    PacketModes modes{true, false, false, 1};  // recording: every packet reaches RecordStep
    bool recordResult = true;
    std::vector<DevicePacket> recorded;
    struct Point {
        uint8_t lead;
        int16_t sample;
    };
    std::vector<Point> points;
    int labelUpdates = 0;
    int lastSpeedCode = 0, lastGainCode = 0, lastFilterCode = 0;

    PacketModes Modes() const override { return modes; }
    bool RecordStep(const DevicePacket& packet, const PacketFields&) override
    {
        recorded.push_back(packet);
        return recordResult;
    }
    void DrawPoint(uint8_t lead, int16_t sample) override { points.push_back({lead, sample}); }
    void UpdateLeadLabels(uint8_t, int speedCode, int gainCode, int filterCode, int,
                          int) override
    {
        ++labelUpdates;
        lastSpeedCode = speedCode;
        lastGainCode = gainCode;
        lastFilterCode = filterCode;
    }
};

// Keeps the order of the engine calls as text ("F3 R E" = FinishLead(3), ResetLeadState,
// EmptyInput); ProcessSample calls are only counted.
struct ProbeFeed final : AnalysisFeed {
    std::vector<int32_t> pushed;
    std::string events;
    int processCalls = 0;
    int finishes = 0;

    void PushSample(int32_t value) override { pushed.push_back(value); }
    void ProcessSample(uint8_t) override { ++processCalls; }
    void FinishLead(uint8_t lead) override
    {
        ++finishes;
        events += "F" + std::to_string(lead) + " ";
    }
    void ResetLeadState() override { events += "R "; }
    void EmptyInput() override { events += "E "; }
};
