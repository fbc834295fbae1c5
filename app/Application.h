#pragma once
// Start-up and shut-down: Settings.ini, the language table, the patient database and the Data
// folder. It owns what the context hands out; main.cpp makes the one instance.
#include <QString>
#include <memory>

#include "analysis/AnalysisEngine.h"
#include "dialogs/AppContext.h"
#include "foundation/LanguageTable.h"

class Prompt;

class Application {
public:
    Application();
    ~Application();

    // The start-up sequence; false when the program must end at once (the database cannot be
    // opened: the error has been shown).
    bool InitInstance();
    void ExitInstance();

    // References to the settings, the language table, the prompt and the engine held here.
    AppContext Context();

    Prompt& GetPrompt() { return *prompt_; }
    void SetPrompt(Prompt* prompt);  // tests install a recording prompt; null restores the real one

    AppSettings settings;
    LanguageTable language;
    AnalysisEngine engine;

private:
    // A warning at start-up in the loaded language (the English key when it has no text), with
    // its %1 and %2 filled in.
    void Warn(const char* key, const QString& first, const QString& second = QString());

    std::unique_ptr<Prompt> ownPrompt_;
    Prompt* prompt_;
};
