#include "record/RecordWriter.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "record/RecordFile.h"

namespace {

constexpr int kSecondsPerMinute = 60;
// A patient folder with more than a day of recordings started in the same minute is not a
// folder anyone records into; the search gives up instead of walking the calendar.
constexpr int kMaxMinutesAhead = 24 * 60;

std::string NameForMinute(std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    return RecordFileName(local);
}

}  // namespace

RecordWriter::RecordWriter() : buffer_(kPacketsPerSecond) {}

std::filesystem::path RecordWriter::FreePath(const std::filesystem::path& folder,
                                             std::time_t start)
{
    for (int minute = 0; minute <= kMaxMinutesAhead; ++minute) {
        std::filesystem::path path =
            folder / NameForMinute(start + std::time_t(minute) * kSecondsPerMinute);
        std::error_code error;
        if (!std::filesystem::exists(std::filesystem::symlink_status(path, error)))
            return path;
    }
    return {};
}

bool RecordWriter::Start(const std::filesystem::path& folder, std::time_t start)
{
    active_ = false;
    kept_ = false;
    count_ = 0;
    stored_ = 0;
    path_.clear();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    // "x": created here or not at all, so a file that appeared since the check is not truncated;
    // the next free minute is tried then.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::filesystem::path path = FreePath(folder, start);
        if (path.empty())
            return false;
        if (std::FILE* file = std::fopen(path.c_str(), "wbx")) {
            if (std::fclose(file) != 0)
                return false;
            path_ = path;
            active_ = true;
            kept_ = true;
            return true;
        }
        if (!std::filesystem::exists(std::filesystem::symlink_status(path, error)))
            return false;  // not a race: the folder refuses new files
    }
    return false;
}

bool RecordWriter::Store(const DevicePacket& packet)
{
    if (!active_)
        return true;
    buffer_[count_++] = packet;
    ++stored_;
    return count_ < buffer_.size() || WriteBuffered();
}

bool RecordWriter::WriteBuffered()
{
    if (!active_ || count_ == 0)
        return true;
    const bool written = Flush();
    count_ = 0;
    return written;
}

bool RecordWriter::Finish()
{
    if (!active_)
        return true;
    const bool written = WriteBuffered();
    active_ = false;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path_, error);
    if (!error && size < std::uintmax_t(kBytesPerSecond)) {
        std::filesystem::remove(path_, error);
        kept_ = false;
    }
    return written;
}

bool RecordWriter::Flush()
{
    const std::size_t bytes = count_ * kPacketBytes;
    std::FILE* file = std::fopen(path_.c_str(), "ab");
    if (!file)
        return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    const long before = ok ? std::ftell(file) : -1;
    ok = ok && before >= 0;
    ok = ok && std::fwrite(buffer_.data(), 1, bytes, file) == bytes;
    ok = std::fflush(file) == 0 && ok;
    // On the disk, not only in the page cache: a power cut then costs this second at most.
    ok = ok && (::fdatasync(::fileno(file)) == 0 || errno == EINVAL);
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        // Whatever part of the second reached the disk is taken off again: the file keeps only
        // whole, earlier seconds.
        std::error_code error;
        if (before >= 0)
            std::filesystem::resize_file(path_, static_cast<std::uintmax_t>(before), error);
        return false;
    }
    return true;
}
