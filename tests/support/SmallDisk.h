#pragma once
// A small tmpfs mounted on a folder (made when missing) for a full or read-only disk, detached
// again however the test ends. Mounting needs root, as in CI: Mounted() says whether it worked.
#include <sys/mount.h>

#include <filesystem>
#include <string>

class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& folder, const std::string& size, unsigned long flags = 0)
        : folder_(folder)
    {
        std::error_code ec;
        std::filesystem::create_directories(folder_, ec);
        mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", flags, ("size=" + size).c_str()) == 0;
    }
    ~SmallDisk()
    {
        if (mounted_)
            ::umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mounted() const { return mounted_; }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
};
