#pragma once
// The language table's texts as QString, for the Qt side of the program. Header only: the
// foundation library itself stays free of Qt, and only code that already uses Qt includes this.
#include <QString>

#include "foundation/LanguageTable.h"

// The text of a key in the table; a missing key gives the empty text.
inline QString Translate(const LanguageTable& language, const char* key)
{
    return QString::fromStdString(language.Translate(key));
}

inline QString Translate(const LanguageTable& language, const QString& key)
{
    return QString::fromStdString(language.Translate(key.toStdString()));
}
