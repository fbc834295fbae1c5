#pragma once
// Writing a file whole or not at all. Plain standard C++ (POSIX fsync), for the tools and the
// exports alike.
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
