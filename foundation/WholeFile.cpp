#include "foundation/WholeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

bool WriteFileWhole(const std::filesystem::path& target,
                    const std::function<bool(const std::filesystem::path&, std::string&)>& write,
                    std::string& why)
{
    std::filesystem::path temporary = target;
    temporary += ".part";
    std::error_code error;
    bool ok = write(temporary, why);
    if (ok && std::filesystem::file_size(temporary, error) == 0) {
        why = "nothing was written";
        ok = false;
    }
    if (ok) {
        // tmpfs and network disks report a full disk only here or at close.
        const int fd = ::open(temporary.c_str(), O_RDONLY);
        ok = fd >= 0 && ::fsync(fd) == 0;
        if (!ok)
            why = std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
    }
    if (ok) {
        std::filesystem::rename(temporary, target, error);
        if (error) {
            why = error.message();
            ok = false;
        }
    }
    if (!ok)
        std::filesystem::remove(temporary, error);
    return ok;
}

bool WriteFileWhole(const std::filesystem::path& target, const std::string& bytes, std::string& why)
{
    return WriteFileWhole(
        target,
        [&bytes](const std::filesystem::path& temporary, std::string& failure) {
            std::FILE* file = std::fopen(temporary.c_str(), "wb");
            if (!file) {
                failure = std::strerror(errno);
                return false;
            }
            const bool whole = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size()
                               && std::fflush(file) == 0;
            const int saved = errno;
            const bool closed = std::fclose(file) == 0;
            if (!whole || !closed)
                failure = std::strerror(whole ? errno : saved);
            return whole && closed;
        },
        why);
}

bool ReadRegularFile(const std::filesystem::path& path, std::string& text, std::uintmax_t maxBytes)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > maxBytes)
        return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    // One byte more than the size: a file that grew meanwhile is refused, not cut.
    text.assign(static_cast<size_t>(size) + 1, '\0');
    const size_t got = std::fread(text.data(), 1, text.size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    text.resize(got);
    return !failed && got <= size;
}
