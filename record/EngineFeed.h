#pragma once
// The decoder's analysis feed on the real AnalysisEngine: where the live path and the review
// loader plug the engine in behind the decoder.
#include "analysis/AnalysisEngine.h"
#include "device/AnalysisFeed.h"

class EngineFeed final : public AnalysisFeed {
public:
    explicit EngineFeed(AnalysisEngine& engine) : engine_(engine) {}
    void PushSample(int32_t value) override { engine_.PushSample(value); }
    void ProcessSample(uint8_t leadIndex) override { engine_.ProcessSample(leadIndex); }
    void FinishLead(uint8_t leadIndex) override { engine_.FinishLead(leadIndex); }
    void ResetLeadState() override { engine_.ResetLeadState(); }
    void EmptyInput() override { engine_.EmptyInput(); }

private:
    AnalysisEngine& engine_;
};
