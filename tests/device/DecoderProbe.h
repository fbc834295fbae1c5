#pragma once
// A packet sink and an analysis feed that keep what the decoder hands them, for decoder tests.
#include <array>
#include <string>
#include <vector>

#include "device/AnalysisFeed.h"
#include "device/PacketSink.h"

struct ProbeSink final : PacketSink {
    PacketModes modes{true, false, false, 1};  // recording: every packet reaches RecordStep
    bool recordResult = true;
    std::vector<DevicePacket> recorded;
    std::vector<int16_t> drawn;
    std::vector<std::array<int, 3>> labels;  // speed, gain and filter code of each update

    PacketModes Modes() const override { return modes; }
    bool RecordStep(const DevicePacket& packet, const PacketFields&) override
    {
        recorded.push_back(packet);
        return recordResult;
    }
    void DrawPoint(uint8_t, int16_t sample) override { drawn.push_back(sample); }
    void UpdateLeadLabels(uint8_t, int speed, int gain, int filter, int, int) override
    {
        labels.push_back({speed, gain, filter});
    }
};

// Keeps the order of the engine calls as text ("F3 R E" = FinishLead(3), ResetLeadState,
// EmptyInput).
struct ProbeFeed final : AnalysisFeed {
    std::vector<int32_t> pushed;
    std::string events;

    void PushSample(int32_t value) override { pushed.push_back(value); }
    void ProcessSample(uint8_t) override {}
    void FinishLead(uint8_t lead) override { events += "F" + std::to_string(lead) + " "; }
    void ResetLeadState() override { events += "R "; }
    void EmptyInput() override { events += "E "; }
};
