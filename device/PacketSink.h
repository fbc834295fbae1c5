#pragma once
// Where a decoded packet goes after the decoder: the recording step and the live drawing. The
// recording (acquisition/StreamRecorder) implements it for the record and the main window for the
// display, each on the decoder of its own thread; tests and benchmarks use small sinks of their
// own. Every call happens on the thread that feeds the decoder.
#include <cstdint>

#include "device/DevicePacket.h"

// The mode flags ProcessPacket looks at, read once per packet.
struct PacketModes {
    bool recording = false;
    bool playback = false;  // demo playback: packets are drawn whatever their valid flag
    bool review = false;    // a stored record is shown; live drawing is frozen
    int speedIndex = 1;     // 0, 1, 2 = 12.5, 25, 50 mm/s
};

class PacketSink {
public:
    virtual ~PacketSink() = default;
    virtual PacketModes Modes() const = 0;
    // The recording step, for every non-filler packet that passed the valid check (so while
    // recording also packets whose valid flag is 0): stores valid packets while recording.
    // Returns false when the packet must not be drawn.
    virtual bool RecordStep(const DevicePacket& packet, const PacketFields& fields) = 0;
    // One decimated point of a lead, with the lead's labels: speed code = speed index + 1,
    // gain code + 1 as shown, filter code, mode and range flags.
    virtual void DrawPoint(uint8_t leadIndex, int16_t sample) = 0;
    virtual void UpdateLeadLabels(uint8_t leadIndex, int speedCode, int gainCode, int filterCode,
                                  int modeFlag, int rangeFlag) = 0;
};
