#pragma once
// Turns the recorder's byte stream into packets and runs the per-packet step. Plain standard
// C++, one instance on the thread that receives the bytes; nothing here allocates.
//
// Fillers: every 0xFF byte is filler wherever it falls. Fillers may be four or five bytes long
// and may straddle a 48-byte block boundary, so they are skipped byte by byte; a 0xFF byte
// abandons an unfinished unit like any start byte, and a filler never reaches DecodeFields,
// the recording, the drawing or the analysis, and never changes the latest lead.
#include <array>
#include <cstddef>
#include <cstdint>

#include "device/AnalysisFeed.h"
#include "device/DevicePacket.h"
#include "device/PacketSink.h"
#include "device/PeakHold.h"

constexpr int kByteBlockSize = 48;  // 12 packets, 15 ms of signal
constexpr int kDecimationBySpeed[3] = {16, 8, 4};  // 12.5, 25, 50 mm/s: 50, 100, 200 points/s

class StreamDecoder {
public:
    // Either may be null: no analysis feed, or nothing beyond decoding.
    StreamDecoder(AnalysisFeed* feed, PacketSink* sink) : feed_(feed), sink_(sink) {}
    void SetSink(PacketSink* sink) { sink_ = sink; }

    // One received byte; a full block of 48 goes to DecodeBlock.
    void OnSerialByte(uint8_t byte);
    // The unit assembler: resynchronises on start bytes, skips fillers, runs ProcessPacket for
    // each complete packet and follows lead changes for the live analysis.
    void DecodeBlock(const uint8_t* bytes, size_t count);
    // Fields with substitutions; remembers the lead index as the latest lead.
    PacketFields DecodeFields(const DevicePacket& packet);
    // Decode, recording step, decimation with peak hold, drawing. Returns the decoded sample
    // (not the peak-held one). Also the entry of demo playback; a filler is ignored there too.
    int16_t ProcessPacket(const DevicePacket& packet);

    // Decoder state, for the window and tests.
    uint8_t CurrentLead() const { return currentLead_; }
    uint8_t LatestLead() const { return latestLead_; }
    uint32_t LiveUnitCounter() const { return liveUnits_; }
    uint32_t DisplayCounter() const { return displayCounter_; }
    int BlockFill() const { return blockFill_; }

    // Decimation factor for a speed index; unknown indices take the 25 mm/s value.
    static int Decimation(int speedIndex)
    {
        return speedIndex >= 0 && speedIndex <= 2 ? kDecimationBySpeed[speedIndex] : 8;
    }

private:
    AnalysisFeed* feed_;
    PacketSink* sink_;

    std::array<uint8_t, kByteBlockSize> block_{};
    int blockFill_ = 0;
    DevicePacket unit_{};
    int unitFill_ = 0;  // 0 = waiting for a start byte
    uint8_t currentLead_ = 0;
    uint8_t latestLead_ = 0;
    uint32_t liveUnits_ = 0;      // packets since the last lead change
    uint32_t displayCounter_ = 0;  // packets seen by the display step; wraps harmlessly, d | 2^32
    PeakHold peakHold_;
};
