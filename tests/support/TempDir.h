#pragma once
// A fresh temporary folder per test, removed afterwards; optionally made the working directory.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempDir {
public:
    explicit TempDir(bool enter = false)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvida-test-XXXXXX").string();
        if (char* made = mkdtemp(pattern.data()))
            path_ = made;
        if (enter) {
            previous_ = std::filesystem::current_path();
            std::filesystem::current_path(path_);
        }
    }
    ~TempDir()
    {
        std::error_code ec;
        if (!previous_.empty())
            std::filesystem::current_path(previous_, ec);
        if (path_.empty())
            return;
        // Tests make folders read-only on purpose; give write access back before removal.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

// A file's bytes; empty when it cannot be read.
inline std::string ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
