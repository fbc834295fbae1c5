// Any byte stream through the decoder, cut into blocks of any size, in any mode: nothing
// crashes, no filler or malformed unit reaches the recording, fields stay in range, and the
// drawing sees one point per d packets.
#include <cstdint>
#include <cstdlib>

#include "device/StreamDecoder.h"

namespace {

struct CheckingSink final : PacketSink {
    PacketModes modes;
    long points = 0;
    PacketModes Modes() const override { return modes; }
    bool RecordStep(const DevicePacket& p, const PacketFields& f) override
    {
        if (IsFiller(p.data()) || !(p[0] & 0x80) || (p[1] & 0x80) || (p[2] & 0x80) || (p[3] & 0x80)
            || p[0] == kFillerByte)
            std::abort();
        if (f.leadIndex > kMaxLeadIndex || f.filterCode > kMaxFilterCode || f.gainCode > kMaxGainCode
            || f.sample < 0 || f.sample > 1023)
            std::abort();
        return (p[3] & 1) != 0 || !modes.recording;
    }
    void DrawPoint(uint8_t lead, int16_t sample) override
    {
        if (lead > kMaxLeadIndex || sample < 0 || sample > 1023)
            std::abort();
        ++points;
    }
    void UpdateLeadLabels(uint8_t, int speed, int gain, int filter, int mode, int range) override
    {
        if (speed != modes.speedIndex + 1 || gain < 1 || gain > 4 || filter > 5 || mode > 1 || range > 1)
            std::abort();
    }
};

struct CheckingFeed final : AnalysisFeed {
    void PushSample(int32_t v) override
    {
        if (v < kLiveSampleOffset || v > 1023 + kLiveSampleOffset)
            std::abort();
    }
    void ProcessSample(uint8_t lead) override
    {
        if (lead > kMaxLeadIndex)
            std::abort();
    }
    void FinishLead(uint8_t lead) override
    {
        if (lead > kMaxLeadIndex)
            std::abort();
    }
    void ResetLeadState() override {}
    void EmptyInput() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    CheckingSink sink;
    CheckingFeed feed;
    sink.modes.recording = data[0] & 1;
    sink.modes.playback = data[0] & 2;
    sink.modes.review = data[0] & 4;
    sink.modes.speedIndex = (data[0] >> 3) % 4;  // 3 is out of range on purpose
    const size_t piece = data[1] % 64 + 1;
    StreamDecoder decoder(&feed, &sink);
    data += 2;
    size -= 2;
    for (size_t at = 0; at < size; at += piece) {
        const size_t n = size - at < piece ? size - at : piece;
        if (piece == 1)
            decoder.OnSerialByte(data[at]);
        else
            decoder.DecodeBlock(data + at, n);
        if (decoder.CurrentLead() != decoder.LatestLead())
            std::abort();  // a lead change is always followed through within its byte
    }
    return 0;
}
