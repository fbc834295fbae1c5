#pragma once
// What the stream decoder asks of the analysis while live data flows. An interface the decoder
// owns, so it links no analysis: the engine is plugged in behind it (record/EngineFeed.h), and
// the decoder can be measured and tested without it.
#include <cstdint>

class AnalysisFeed {
public:
    virtual ~AnalysisFeed() = default;
    virtual void PushSample(int32_t value) = 0;      // every second packet of a lead segment
    virtual void ProcessSample(uint8_t leadIndex) = 0;  // once per received byte
    virtual void FinishLead(uint8_t leadIndex) = 0;  // the live lead segment ended
    virtual void ResetLeadState() = 0;
    virtual void EmptyInput() = 0;                   // input count 0, all entries 0
};
