#pragma once
// The context the program's classes are handed, as the tests build it: the source tree's English
// texts, port 3, a fresh analysis engine and the fixture's prompt; the QApplication exists.
#include <memory>

#include "analysis/AnalysisEngine.h"
#include "dialogs/AppContext.h"
#include "tests/support/QtApp.h"
#include "tests/support/ShippedLanguage.h"

struct TestContext {
    explicit TestContext(Prompt& prompt) : context{settings, language, prompt, *engine}
    {
        EnsureQtApp();
        settings.portText = "3";
        settings.languageName = "English";
        language = ShippedLanguage();
    }
    AppSettings settings;
    LanguageTable language;
    std::unique_ptr<AnalysisEngine> engine = std::make_unique<AnalysisEngine>();
    AppContext context;
};
