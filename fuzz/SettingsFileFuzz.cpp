// Any bytes as Settings.ini: reading never crashes, and a value written is read back as written.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "foundation/ProfileFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    FindProfileValue(text, "CommNo", "Path");
    FindProfileValue(text, "Language", "Path");

    static const std::string path =
        (std::filesystem::temp_directory_path() / ("corvida-fuzz-" + std::to_string(getpid()) + ".ini"))
            .string();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    if (!WriteProfileString(path, "Language", "Path", "中文"))
        std::abort();
    if (GetProfileString(path, "Language", "Path") != "中文")
        std::abort();
    return 0;
}
