#include "analysis/AnalysisEngine.h"

AnalysisEngine::AnalysisEngine() = default;
void AnalysisEngine::ResetLeadState() {}
void AnalysisEngine::PushSample(int32_t) {}
void AnalysisEngine::EmptyInput() {}
void AnalysisEngine::ProcessSample(uint8_t) {}
void AnalysisEngine::FinishLead(uint8_t) {}
int AnalysisEngine::RunAnalysis(ConclusionLines&, const LanguageTable&) { return 9; }
void AnalysisEngine::ClearRecordState() {}
void AnalysisEngine::ClearResults()
{
    measurements_ = {};
    leads_ = {};
}
