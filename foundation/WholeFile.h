#pragma once
// Writing a file whole or not at all. Plain standard C++ (POSIX fsync), for the tools and the
// exports alike.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

// Calls write with a temporary path beside target (same file system, so the rename is atomic),
// then checks the temporary file holds something, flushes it to disk and renames it over target.
// On any failure the temporary file is removed, target is left as it was, why says what failed.
bool WriteFileWhole(const std::filesystem::path& target,
                    const std::function<bool(const std::filesystem::path& temporary,
                                             std::string& why)>& write,
                    std::string& why);
// The same for bytes in memory; the written size is checked against bytes.size().
bool WriteFileWhole(const std::filesystem::path& target, const std::string& bytes, std::string& why);

// Settings.ini and the language files are a few kilobytes; 1 MB leaves room and keeps a file
// linked to /dev/zero or a huge one from exhausting memory.
constexpr std::uintmax_t kMaxSmallFileBytes = 1 << 20;
// Reads a regular file of at most maxBytes whole; a FIFO, device or folder is never opened.
bool ReadRegularFile(const std::filesystem::path& path, std::string& text,
                     std::uintmax_t maxBytes = kMaxSmallFileBytes);
