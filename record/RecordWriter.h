#pragma once
// Stores the packets of one recording in its record file: appended one second (800 packets) at a
// time and synced to the disk, the file reopened for each write, so a crash or a power cut costs
// at most the last second. The finished file is the same whatever the pieces were: the packets
// in order, nothing else. Plain standard C++; the window decides what the user is told.
//
// A write that fails part-way is cut back to the size the file had before it, so what was
// written earlier stays a clean sequence of whole packets.
#include <cstddef>
#include <ctime>
#include <filesystem>
#include <vector>

#include "device/DevicePacket.h"

class RecordWriter {
public:
    RecordWriter();

    // Creates a new empty record file in folder (made when missing) for the start time: the name
    // of the start minute, or of the next minute for which no file exists, so an earlier
    // recording is never overwritten. False when no file could be created; nothing is active.
    bool Start(const std::filesystem::path& folder, std::time_t start);
    // Adds a packet; a full second is written at once. False when that write failed (that
    // second is then gone, recording goes on).
    bool Store(const DevicePacket& packet);
    // Writes what is buffered now (for a stream that stalls). False when that write failed.
    bool WriteBuffered();
    // Writes what is left in the buffer and ends the recording. A file left without one whole
    // second is removed, as no reader shows anything of it; Kept() tells. False when a write
    // failed.
    bool Finish();

    bool Active() const { return active_; }
    bool Kept() const { return kept_; }
    const std::filesystem::path& Path() const { return path_; }
    std::size_t Buffered() const { return count_; }
    // Packets taken since Start, written or still buffered.
    std::size_t Stored() const { return stored_; }

    // The first free record file name in folder at or after the minute of start.
    static std::filesystem::path FreePath(const std::filesystem::path& folder, std::time_t start);

private:
    bool Flush();

    std::vector<DevicePacket> buffer_;  // one second, allocated once
    std::size_t count_ = 0;
    std::size_t stored_ = 0;
    std::filesystem::path path_;
    bool active_ = false;
    bool kept_ = false;
};
