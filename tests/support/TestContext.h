#pragma once
// The context the program's classes are handed, as the tests build it: the source tree's
// language files with English loaded, port 3, a fresh analysis engine and the fixture's prompt.
#include <memory>

#include "analysis/AnalysisEngine.h"
#include "app/AppContext.h"

class TestContext {
public:
    explicit TestContext(Prompt& prompt)
        : engine(std::make_unique<AnalysisEngine>()),
          context{settings, language, prompt, *engine}
    {
        settings.portText = "3";
        settings.languageName = "English";
        language.SetDirectory(CORVIDA_SOURCE_DIR "/language");
        language.Scan();
        language.Load("English");
    }

    AppSettings settings;
    LanguageTable language;
    std::unique_ptr<AnalysisEngine> engine;
    AppContext context;
};
