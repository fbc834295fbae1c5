#pragma once
// Stores the packets of one recording in its record file. Each append reopens the file, checks it
// is still the very file the recording made, writes at its end and syncs to the disk, so a crash
// or a power cut costs at most what was not yet appended. Plain standard C++; the caller decides
// what the user is told.
//
// What was written stays whole: a write that fails cuts the file back to its last whole second
// and ends the writing, so nothing after a gap is ever appended. A file that vanished or was
// replaced under the recording is never made again nor touched: the writing ends there too.
#include <sys/stat.h>

#include <cstddef>
#include <ctime>
#include <filesystem>

#include "device/DevicePacket.h"

class RecordWriter {
public:
    // Creates a new empty record file in folder (made when missing) for the start time: the name
    // of the start minute, or of the next minute for which no file exists, so an earlier
    // recording is never overwritten. False when no file could be created; nothing is active.
    bool Start(const std::filesystem::path& folder, std::time_t start);
    // Appends count packets and syncs them. False when that failed; the writer is then no longer
    // active and appends nothing more.
    bool Append(const DevicePacket* packets, std::size_t count);
    // Ends the writing. Its own file left without one whole second is removed, as no reader shows
    // anything of it. Kept() then tells whether the file is there, still the recording's own,
    // with a whole second at least.
    void Finish();

    bool Active() const { return active_; }
    bool Kept() const { return kept_; }
    const std::filesystem::path& Path() const { return path_; }

    // The first free record file name in folder at or after the minute of start.
    static std::filesystem::path FreePath(const std::filesystem::path& folder, std::time_t start);

private:
    // The descriptor is the file Start made (same device and inode); now gets its status.
    bool IsOurs(int fd, struct stat& now) const;

    std::filesystem::path path_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool active_ = false;
    bool kept_ = false;
};
