#pragma once
// The language files of the source tree, loaded in one language: the texts the program ships.
#include <string>

#include "foundation/LanguageTable.h"

inline LanguageTable ShippedLanguage(const std::string& displayName = "English")
{
    LanguageTable table;
    table.SetDirectory(CORVIDA_SOURCE_DIR "/language");
    table.Scan();
    table.Load(displayName);
    return table;
}
