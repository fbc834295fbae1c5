#include "record/RecordWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

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
    path_.clear();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    // Created here or not at all, so a file that appeared since the check is not truncated; the
    // next free minute is tried then.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::filesystem::path path = FreePath(folder, start);
        if (path.empty())
            return false;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            struct stat made {};
            const bool ok = ::fstat(fd, &made) == 0;
            if (::close(fd) != 0 || !ok)
                return false;
            path_ = path;
            device_ = made.st_dev;
            inode_ = made.st_ino;
            active_ = true;
            return true;
        }
        if (errno != EEXIST)
            return false;  // not a race: the folder refuses new files
    }
    return false;
}

bool RecordWriter::IsOurs(int fd, struct stat& now) const
{
    return ::fstat(fd, &now) == 0 && now.st_dev == device_ && now.st_ino == inode_;
}

bool RecordWriter::Append(const DevicePacket* packets, std::size_t count)
{
    if (!active_)
        return false;
    if (count == 0)
        return true;
    // No O_CREAT: a record deleted under the recording is not made again, half a record late.
    const int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    struct stat now {};
    if (fd < 0 || !IsOurs(fd, now)) {
        if (fd >= 0)
            ::close(fd);
        active_ = false;
        return false;
    }
    const off_t before = ::lseek(fd, 0, SEEK_END);
    bool ok = before >= 0
              && WriteAll(fd, reinterpret_cast<const char*>(packets), count * kPacketBytes)
              // On the disk, not only in the page cache.
              && (::fdatasync(fd) == 0 || errno == EINVAL);
    if (!ok && before >= 0) {
        // Whatever part reached the file is taken off again, down to the last whole second.
        ok = false;
        if (::ftruncate(fd, before / kBytesPerSecond * kBytesPerSecond) == 0)
            ::fdatasync(fd);
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok)
        active_ = false;
    return ok;
}

void RecordWriter::Finish()
{
    active_ = false;
    kept_ = false;
    if (path_.empty())
        return;
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat now {};
    if (IsOurs(fd, now)) {
        kept_ = now.st_size >= kBytesPerSecond;
        std::error_code error;
        if (!kept_)
            std::filesystem::remove(path_, error);
    }
    ::close(fd);
}
