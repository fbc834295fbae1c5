#include "device/StreamDecoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/device/DecoderProbe.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& out, const DevicePacket& p)
{
    out.insert(out.end(), p.begin(), p.end());
}

Bytes Filler(int length)
{
    return Bytes(static_cast<size_t>(length), kFillerByte);
}

// Packets with a sample that counts up, so any mix-up of bytes shows.
std::vector<DevicePacket> Counting(int count, uint8_t lead = 2)
{
    std::vector<DevicePacket> packets;
    for (int i = 0; i < count; ++i)
        packets.push_back(MakePacket(lead, 100 + i % 900));
    return packets;
}

void FeedBytes(StreamDecoder& decoder, const Bytes& bytes)
{
    for (uint8_t b : bytes)
        decoder.OnSerialByte(b);
}

}  // namespace

TEST(StreamDecoder, ExtractFields_SubstitutesOutOfRangeCodes)
{
    struct Case {
        uint8_t b0, b1;
        uint8_t filter, lead, gain, valid, mode, range;
    } cases[] = {
        {0x80 | 0x10 | 0x05, 0x40 | 0x02, 1, 5, 2, 1, 0, 0},
        {0x80 | 0x70 | 0x01, 0x40, 0, 1, 0, 1, 0, 0},         // filter 7 shows OFF
        {0x80 | 0x60 | 0x0D, 0x40 | 0x05, 0, 0, 0, 1, 0, 0},  // filter 6, lead 13, gain 5 → 0
        {0x80 | 0x50 | 0x0B, 0x30 | 0x03, 5, 11, 3, 0, 1, 1}, // highest valid codes kept
        {0x80 | 0x0C, 0x0F, 0, 0, 0, 0, 0, 0},                // lead 12, gain 15
    };
    for (const Case& c : cases) {
        const uint8_t p[4] = {c.b0, c.b1, 0x05, 0x7F};
        const PacketFields f = ExtractFields(p);
        SCOPED_TRACE(testing::Message() << std::hex << int(c.b0) << " " << int(c.b1));
        EXPECT_EQ(f.filterCode, c.filter);
        EXPECT_EQ(f.leadIndex, c.lead);
        EXPECT_EQ(f.gainCode, c.gain);
        EXPECT_EQ(f.validFlag, c.valid);
        EXPECT_EQ(f.modeFlag, c.mode);
        EXPECT_EQ(f.rangeFlag, c.range);
        EXPECT_EQ(f.sample, 5 * 128 + 127);
    }
    // Bits above the sample's ten are ignored.
    const uint8_t high[4] = {0x81, 0x40, 0x7F, 0x7F};
    EXPECT_EQ(ExtractFields(high).sample, 1023);
}

TEST(StreamDecoder, DecodeBlock_StartAndResynchronisation)
{
    const auto packets = Counting(6);
    struct Case {
        const char* name;
        Bytes stream;
        std::vector<DevicePacket> expected;
    };
    Bytes midStart = {packets[0][2], packets[0][3]};  // joined in the middle of a packet
    for (int i = 1; i < 4; ++i)
        Append(midStart, packets[i]);

    Bytes garbage;  // data bytes with no start byte before them are skipped
    Append(garbage, packets[0]);
    for (uint8_t b : {0x00, 0x12, 0x7F, 0x33})
        garbage.push_back(b);
    Append(garbage, packets[1]);

    Bytes cut;  // a unit cut short by the next start byte is dropped
    Append(cut, packets[0]);
    cut.insert(cut.end(), packets[1].begin(), packets[1].begin() + 3);
    Append(cut, packets[2]);

    Bytes cutByFiller;  // so is a unit cut short by a filler
    cutByFiller.insert(cutByFiller.end(), packets[0].begin(), packets[0].begin() + 2);
    for (uint8_t b : Filler(5))
        cutByFiller.push_back(b);
    cutByFiller.push_back(packets[1][2]);
    cutByFiller.push_back(packets[1][3]);
    Append(cutByFiller, packets[2]);

    const Case cases[] = {
        {"mid-packet start", midStart, {packets[1], packets[2], packets[3]}},
        {"garbage between packets", garbage, {packets[0], packets[1]}},
        {"unit cut by start byte", cut, {packets[0], packets[2]}},
        {"unit cut by filler", cutByFiller, {packets[2]}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeSink sink;
        StreamDecoder decoder(nullptr, &sink);
        decoder.DecodeBlock(c.stream.data(), c.stream.size());
        EXPECT_EQ(sink.recorded, c.expected);
    }
}

// Fillers of four and five bytes at every offset of a 48-byte block, also straddling the
// boundary between blocks: exactly the real packets come through, none of the filler bytes
// reach the recording, drawing or analysis, and the lead stays.
TEST(StreamDecoder, DecodeBlock_FillerAtEveryOffsetIsSkipped)
{
    for (int length : {4, 5, 9}) {
        for (int offset = 0; offset < kByteBlockSize; ++offset) {
            SCOPED_TRACE(testing::Message() << "filler " << length << " at " << offset);
            const auto packets = Counting(60, 7);
            Bytes stream;
            // 'offset' stray data bytes first, then twelve packets (48 bytes): the filler starts
            // 'offset' bytes into the second block and, near its end, runs into the third.
            stream.assign(static_cast<size_t>(offset), 0x11);
            size_t next = 0;
            for (int i = 0; i < 12; ++i)
                Append(stream, packets[next++]);
            for (uint8_t b : Filler(length))
                stream.push_back(b);
            while (next < packets.size())
                Append(stream, packets[next++]);
            stream.resize(stream.size() + (kByteBlockSize - stream.size() % kByteBlockSize),
                          kFillerByte);

            ProbeSink sink;
            ProbeFeed feed;
            StreamDecoder decoder(&feed, &sink);
            FeedBytes(decoder, stream);
            EXPECT_EQ(sink.recorded, packets);
            EXPECT_EQ(decoder.LatestLead(), 7);
            EXPECT_EQ(feed.finishes, 1);  // the only lead change: 0 → 7 at the first packet
            // The first packet is pushed before its lead change empties the input; then every
            // second one of the remaining 59.
            EXPECT_EQ(feed.pushed.size(), 31u);
            for (int32_t v : feed.pushed)
                EXPECT_LT(v, 1023 + kLiveSampleOffset);
        }
    }
}

TEST(StreamDecoder, ProcessPacket_ModesDecideWhatIsRecordedAndDrawn)
{
    struct Case {
        const char* name;
        PacketModes modes;
        bool valid;
        bool recordResult;
        size_t recorded;
        size_t drawn;  // of 16 packets at 50 mm/s (d = 4)
    } cases[] = {
        {"live valid", {false, false, false, 2}, true, true, 16, 4},
        {"live invalid", {false, false, false, 2}, false, true, 0, 0},
        {"recording invalid, refused by the recorder step", {true, false, false, 2}, false, false, 16, 0},
        {"playback draws invalid packets", {false, true, false, 2}, false, true, 16, 4},
        {"review freezes the drawing", {false, false, true, 2}, true, true, 16, 0},
        {"recording valid", {true, false, false, 2}, true, true, 16, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeSink sink;
        sink.modes = c.modes;
        sink.recordResult = c.recordResult;
        StreamDecoder decoder(nullptr, &sink);
        for (int i = 0; i < 16; ++i)
            decoder.ProcessPacket(MakePacket(1, 200 + i, c.valid));
        EXPECT_EQ(sink.recorded.size(), c.recorded);
        EXPECT_EQ(sink.points.size(), c.drawn);
        EXPECT_EQ(sink.labelUpdates, static_cast<int>(c.drawn));
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
        const int windows = 800 / d;  // one second
        for (int w = 0; w < windows; ++w) {
            const int peakAt = w % d;
            const int depth = 50 + w % 40;
            int16_t peak = 0;
            for (int k = 0; k < d; ++k) {
                int s = kBaseline + (k % 2 ? 3 : -3);
                if (k == peakAt)
                    s = kBaseline - depth;
                else if (k > peakAt && k == d - 1)
                    s = kBaseline + depth;
                if (k == peakAt)
                    peak = static_cast<int16_t>(s);
                decoder.ProcessPacket(MakePacket(3, s, true, 2, 2));
            }
            expected.push_back(peak);
        }
        ASSERT_EQ(sink.points.size(), expected.size());  // 50, 100, 200 points per second
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(sink.points[i].sample, expected[i]) << "point " << i;
        EXPECT_EQ(sink.lastSpeedCode, speed + 1);
        EXPECT_EQ(sink.lastGainCode, 3);
        EXPECT_EQ(sink.lastFilterCode, 2);
    }
}

// A lead change closes exactly one live segment, with the old lead, and the analysis input
// starts afresh: every second packet of the new segment is pushed, counted from the change.
TEST(StreamDecoder, DecodeBlock_LeadChangeClosesExactlyOneSegment)
{
    ProbeSink sink;
    ProbeFeed feed;
    StreamDecoder decoder(&feed, &sink);
    Bytes stream;
    for (int i = 0; i < 7; ++i)
        Append(stream, MakePacket(0, 10 + i));
    for (int i = 0; i < 5; ++i)
        Append(stream, MakePacket(1, 20 + i));
    decoder.DecodeBlock(stream.data(), stream.size());

    EXPECT_EQ(feed.events, "F0 R E ");
    EXPECT_EQ(decoder.CurrentLead(), 1);
    // Lead 0: packets 0, 2, 4, 6. Lead 1: the first packet is pushed before the change is seen
    // (counter 7 is odd: not pushed), then the counter restarts: packets 2 and 4 of lead 1.
    const std::vector<int32_t> expected = {330, 332, 334, 336, 341, 343};
    EXPECT_EQ(feed.pushed, expected);
    EXPECT_EQ(feed.processCalls, static_cast<int>(stream.size()));
    EXPECT_EQ(decoder.LiveUnitCounter(), 4u);
}
