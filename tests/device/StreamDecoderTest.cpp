// The decoder: a packet's fields, units out of the byte stream, and the per-packet step.
#include "device/StreamDecoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/device/DecoderProbe.h"

TEST(StreamDecoder, ExtractFields_SubstitutesOutOfRangeCodes)
{
    const struct {
        uint8_t b0, b1;
        std::array<int, 6> fields;  // filter, lead, gain, valid, mode, range
    } cases[] = {
        {0x80 | 0x10 | 0x05, 0x40 | 0x02, {1, 5, 2, 1, 0, 0}},
        {0x80 | 0x70 | 0x01, 0x40, {0, 1, 0, 1, 0, 0}},          // filter 7 shows OFF
        {0x80 | 0x60 | 0x0D, 0x40 | 0x05, {0, 0, 0, 1, 0, 0}},   // filter 6, lead 13, gain 5 → 0
        {0x80 | 0x50 | 0x0B, 0x30 | 0x03, {5, 11, 3, 0, 1, 1}},  // highest valid codes kept
        {0x80 | 0x0C, 0x0F, {0, 0, 0, 0, 0, 0}},                 // lead 12, gain 15
    };
    for (const auto& c : cases) {
        const uint8_t p[4] = {c.b0, c.b1, 0x05, 0x7F};
        const PacketFields f = ExtractFields(p);
        EXPECT_EQ((std::array<int, 6>{f.filterCode, f.leadIndex, f.gainCode, f.validFlag, f.modeFlag, f.rangeFlag}),
                  c.fields) << std::hex << int(c.b0) << " " << int(c.b1);
        EXPECT_EQ(f.sample, 5 * 128 + 127);
    }
    // Bits above the sample's ten are ignored.
    const uint8_t high[4] = {0x81, 0x40, 0x7F, 0x7F};
    EXPECT_EQ(ExtractFields(high).sample, 1023);
}

// Fillers of four and five bytes at every offset of a 48-byte block, also straddling the
// boundary between blocks: exactly the real packets come through, none of the filler bytes
// reach the recording, drawing or analysis. The one lead change, 0 → 7 at
// the first packet, closes exactly one live segment, with the old lead; that packet is pushed
// before the change is seen, then the input starts afresh: every second packet from the change.
TEST(StreamDecoder, DecodeBlock_FillerAtEveryOffsetIsSkipped)
{
    std::vector<DevicePacket> packets;  // a sample that counts up, so any mix-up of bytes shows
    std::vector<int32_t> pushed = {100 + kLiveSampleOffset};
    for (int i = 0; i < 60; ++i) {
        packets.push_back(MakePacket(7, 100 + i));
        if (i % 2)
            pushed.push_back(100 + i + kLiveSampleOffset);
    }
    for (int length : {4, 5, 9}) {
        for (int offset = 0; offset < kByteBlockSize; ++offset) {
            SCOPED_TRACE(testing::Message() << "filler " << length << " at " << offset);
            // 'offset' stray data bytes first, then twelve packets (48 bytes): the filler starts
            // 'offset' bytes into the second block and, near its end, runs into the third.
            std::vector<uint8_t> stream(static_cast<size_t>(offset), 0x11);
            for (size_t i = 0; i < packets.size(); ++i) {
                if (i == 12)
                    stream.insert(stream.end(), static_cast<size_t>(length), kFillerByte);
                stream.insert(stream.end(), packets[i].begin(), packets[i].end());
            }
            stream.resize((stream.size() / kByteBlockSize + 1) * kByteBlockSize, kFillerByte);

            ProbeSink sink;
            ProbeFeed feed;
            StreamDecoder decoder(&feed, &sink);
            for (uint8_t b : stream)
                decoder.OnSerialByte(b);
            EXPECT_EQ(sink.recorded, packets);
            EXPECT_EQ(feed.events, "F0 R E ");
            EXPECT_EQ(feed.pushed, pushed);
        }
    }
}

TEST(StreamDecoder, ProcessPacket_ModesDecideWhatIsRecordedAndDrawn)
{
    const struct {
        const char* name;
        PacketModes modes;
        bool valid;
        bool recordResult;
        size_t recorded;
        size_t drawn;  // of 16 packets at 50 mm/s (d = 4)
    } cases[] = {
        {"live valid", {false, false, false, 2}, true, true, 16, 4}, {"live invalid", {false, false, false, 2}, false, true, 0, 0},
        {"recording invalid, refused by the recorder step", {true, false, false, 2}, false, false, 16, 0},
        {"playback draws invalid packets", {false, true, false, 2}, false, true, 16, 4},
        {"review freezes the drawing", {false, false, true, 2}, true, true, 16, 0},
        {"recording valid", {true, false, false, 2}, true, true, 16, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeSink sink;
        sink.modes = c.modes;
        sink.recordResult = c.recordResult;
        StreamDecoder decoder(nullptr, &sink);
        for (int i = 0; i < 16; ++i)
            decoder.ProcessPacket(MakePacket(1, 200 + i, c.valid));
        EXPECT_EQ(sink.recorded.size(), c.recorded);
        EXPECT_EQ(sink.drawn.size(), c.drawn);
        EXPECT_EQ(sink.labels.size(), c.drawn);
    }
}

TEST(StreamDecoder, ProcessPacket_DecimationAndPeakHold)
{
    for (int speed : {0, 1, 2}) {
        SCOPED_TRACE(speed);
        const int d = StreamDecoder::Decimation(speed);
        ProbeSink sink;
        sink.modes = {false, false, false, speed};
        StreamDecoder decoder(nullptr, &sink);
        // Per window of d packets: a small wiggle, one peak below the baseline at a moving
        // position, and a tie of the same distance above it later (the earlier one is kept).
        std::vector<int16_t> expected;
        for (int w = 0; w < kPacketsPerSecond / d; ++w) {
            const int peakAt = w % d, depth = 50 + w % 40;
            for (int k = 0; k < d; ++k) {
                int s = kBaseline + (k % 2 ? 3 : -3);
                if (k == peakAt)
                    s = kBaseline - depth;
                else if (k > peakAt && k == d - 1)
                    s = kBaseline + depth;
                decoder.ProcessPacket(MakePacket(3, s, true, 2, 2));
            }
            expected.push_back(static_cast<int16_t>(kBaseline - depth));
        }
        EXPECT_EQ(sink.drawn, expected);  // 50, 100, 200 points per second
        EXPECT_EQ(sink.labels.back(), (std::array<int, 3>{speed + 1, 3, 2}));
    }
}
