#pragma once
// What the stream decoder asks of the analysis while live data flows. An interface so the
// decoder can be measured and tested without the engine; EngineFeed passes every call on to
// the real AnalysisEngine.
#include <cstdint>

#include "analysis/AnalysisEngine.h"

class AnalysisFeed {
public:
    virtual ~AnalysisFeed() = default;
    virtual void PushSample(int32_t value) = 0;      // every second packet of a lead segment
    virtual void ProcessSample(uint8_t leadIndex) = 0;  // once per received byte
    virtual void FinishLead(uint8_t leadIndex) = 0;  // the live lead segment ended
    virtual void ResetLeadState() = 0;
    virtual void EmptyInput() = 0;                   // input count 0, all entries 0
};

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
