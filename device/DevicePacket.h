#pragma once
// The recorder's 4-byte stream unit and its fields. Plain standard C++.
//
// Byte 0: bit 7 start flag (always 1), bits 6..4 filter code, bits 3..0 lead index.
// Byte 1: bit 6 valid, bit 5 mode (1 = recorder demo signal), bit 4 range (1 = overflow),
//         bits 3..0 gain code.
// Byte 2: bits 2..0 sample bits 9..7.   Byte 3: bits 6..0 sample bits 6..0.
// Bytes 1..3 always have bit 7 clear, which is what lets the decoder resynchronise.
#include <array>
#include <cstdint>

constexpr int kPacketBytes = 4;
constexpr int kPacketsPerSecond = 800;
constexpr int kPacketsPerLead = 3200;       // 4 s of one lead
constexpr int kRecordLeads = 12;
constexpr int kPacketsPerRecord = kPacketsPerLead * kRecordLeads;  // 38400 = 48 s
constexpr int kRecordSeconds = kPacketsPerRecord / kPacketsPerSecond;
constexpr int16_t kBaseline = 192;          // zero line of the 10-bit sample; 80 units per mV
constexpr int32_t kLiveSampleOffset = 320;  // added to live samples on their way to the analysis
constexpr uint8_t kFillerByte = 0xFF;       // the recorder pads its stream with units of 0xFF

// Largest valid codes; anything above is taken as 0.
constexpr uint8_t kMaxFilterCode = 5;  // OFF, 35Hz, 50Hz, 60Hz, 50Hz+, 60Hz+
constexpr uint8_t kMaxLeadIndex = 11;  // I, II, III, aVR, aVL, aVF, V1 ... V6
constexpr uint8_t kMaxGainCode = 3;    // shown as code + 1: 5, 10, 20 mm/mV

using DevicePacket = std::array<uint8_t, kPacketBytes>;

struct PacketFields {
    uint8_t filterCode = 0;
    uint8_t leadIndex = 0;
    uint8_t modeFlag = 0;
    uint8_t rangeFlag = 0;
    uint8_t gainCode = 0;
    uint8_t validFlag = 0;
    int16_t sample = kBaseline;  // 0 ... 1023
};

// Field extraction with the out-of-range substitutions; no state is touched.
constexpr PacketFields ExtractFields(const uint8_t* p)
{
    PacketFields f;
    const uint8_t filter = (p[0] >> 4) & 7;
    const uint8_t lead = p[0] & 15;
    const uint8_t gain = p[1] & 15;
    f.filterCode = filter <= kMaxFilterCode ? filter : 0;
    f.leadIndex = lead <= kMaxLeadIndex ? lead : 0;
    f.validFlag = (p[1] >> 6) & 1;
    f.modeFlag = (p[1] >> 5) & 1;
    f.rangeFlag = (p[1] >> 4) & 1;
    f.gainCode = gain <= kMaxGainCode ? gain : 0;
    f.sample = static_cast<int16_t>((p[2] & 7) * 128 + (p[3] & 127));
    return f;
}

constexpr bool IsFiller(const uint8_t* p)
{
    return p[0] == kFillerByte && p[1] == kFillerByte && p[2] == kFillerByte
        && p[3] == kFillerByte;
}

// Builds the bytes of a packet; fields are masked to their widths (used by the generator,
// the simulator and tests).
constexpr DevicePacket MakePacket(uint8_t leadIndex, int sample, bool valid = true,
                                  uint8_t filterCode = 1, uint8_t gainCode = 1,
                                  bool modeFlag = false, bool rangeFlag = false)
{
    const int s = sample < 0 ? 0 : (sample > 1023 ? 1023 : sample);
    return {static_cast<uint8_t>(0x80 | (filterCode & 7) << 4 | (leadIndex & 15)),
            static_cast<uint8_t>((valid ? 0x40 : 0) | (modeFlag ? 0x20 : 0)
                                 | (rangeFlag ? 0x10 : 0) | (gainCode & 15)),
            static_cast<uint8_t>((s >> 7) & 7), static_cast<uint8_t>(s & 127)};
}
