// Any bytes as a language file: parsing never crashes, and what it keeps is well formed.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/LanguageTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    LanguageTable::DisplayName(text);
    for (const auto& [key, value] : LanguageTable::ParseEntries(text)) {
        if (key.empty() || value.empty())
            std::abort();
        if (key.front() == ' ' || key.back() == ' ' || value.front() == ' ' || value.back() == ' ')
            std::abort();
    }
    return 0;
}
