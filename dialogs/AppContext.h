#pragma once
// What the program's Qt classes are handed when they are made: the two persistent settings, the
// language table, the prompt and the analysis engine. Only main.cpp (and test fixtures) build
// one; nothing below the window fetches any of these from a global.
#include <QString>

#include "foundation/LanguageTable.h"
#include "foundation/Translate.h"

class AnalysisEngine;
class Prompt;

// The two persistent settings of Settings.ini and where that file lives.
struct AppSettings {
    QString portText;      // [CommNo] Path, decimal digits ("3" means COM3)
    QString languageName;  // [Language] Path, a language's display name
    QString configPath;    // Settings.ini beside the executable

    void BuildSettingsPath();
    // Port number from the port text: plain decimal conversion, non-digits give 0.
    int PortNumber() const;
};

struct AppContext {
    AppSettings& settings;
    LanguageTable& language;
    Prompt& prompt;
    AnalysisEngine& engine;

    QString Translate(const char* key) const { return ::Translate(language, key); }
    QString Translate(const QString& key) const { return ::Translate(language, key); }
    // The common message box: caption "Corvida" (translated), exclamation icon, OK.
    void Message(const QString& text) const;
};
