#pragma once
// Stores the packets of one recording in its record file: buffered in blocks of one complete
// record (38400 packets, 48 s) and appended block by block, the file reopened for each write.
// Plain standard C++; the window decides what the user is told.
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
    // Adds a packet; a full block is written at once. False when that write failed (the block
    // is then gone, recording goes on).
    bool Store(const DevicePacket& packet);
    // Writes what is left in the buffer and ends the recording. False when that write failed.
    bool Finish();

    bool Active() const { return active_; }
    const std::filesystem::path& Path() const { return path_; }
    std::size_t Buffered() const { return count_; }
    std::size_t BlocksWritten() const { return blocks_; }

    // The first free record file name in folder at or after the minute of start.
    static std::filesystem::path FreePath(const std::filesystem::path& folder, std::time_t start);

private:
    bool Flush();

    std::vector<DevicePacket> buffer_;  // one complete record, allocated once
    std::size_t count_ = 0;
    std::size_t blocks_ = 0;
    std::filesystem::path path_;
    bool active_ = false;
};
