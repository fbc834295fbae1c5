#include "analysis/AnalysisEngine.h"

#include "analysis/ConclusionComposer.h"
#include "analysis/Delineation.h"
#include "analysis/InterpretationRules.h"
#include "analysis/Measurements.h"

AnalysisEngine::AnalysisEngine() = default;

void AnalysisEngine::ResetLeadState()
{
    rings_.ClearLead();
    detector_.Reset();
    currentLead_ = 0;
    labels_ = {};
    flags_.fill(0);
    bradycardiaLimit_ = kBradycardiaLimit;
    tachycardiaLimit_ = kTachycardiaLimit;
}

void AnalysisEngine::PushSample(int32_t value)
{
    rings_.Push(value);
}

void AnalysisEngine::EmptyInput()
{
    rings_.EmptyInput();
}

void AnalysisEngine::ProcessSample(uint8_t leadIndex)
{
    currentLead_ = leadIndex;
    rings_.SmoothingStep();
    rings_.SlopeStep();
    detector_.DetectionStep(rings_, rhythm_.ReferenceRr());
    detector_.AveragingStep(rings_);
}

void AnalysisEngine::FinishLead(uint8_t leadIndex)
{
    if (leadIndex >= kLeadCount)
        return;
    std::array<int32_t, kBeatSamples> beat;
    detector_.TakeAverageBeat(beat);
    for (int k = 0; k < kBeatSamples; ++k)
        averageBeats_.At(k, leadIndex) = beat[k];
    int32_t mean = 0;
    int32_t variance = 0;
    const bool hasStatistics = detector_.RrStatistics(mean, variance);
    rhythm_.FinishLead(leadIndex, hasStatistics, mean, variance);
}

int AnalysisEngine::RunAnalysis(ConclusionLines& lines, const LanguageTable& language)
{
    const int32_t rr = rhythm_.ReferenceRr();
    globalWaves_ = {};
    leadWaves_ = {};
    DelineateGlobal(averageBeats_, 0, rr, globalWaves_);
    CorrectIsoelectric(averageBeats_, globalWaves_.qrsOnset);
    DelineateGlobal(averageBeats_, 1, rr, globalWaves_);
    for (int lead = 0; lead < kLeadCount; ++lead)
        DelineateLead(averageBeats_, lead, globalWaves_, leadWaves_[lead]);

    MeasureRecord(averageBeats_, globalWaves_, rr, measurements_);
    leads_ = {};
    for (int lead = 0; lead < kLeadCount; ++lead)
        leads_[lead] = MeasureLead(averageBeats_, lead, leadWaves_[lead]);

    bool anyP = false;
    bool anyT = false;
    for (const WavePoints& w : leadWaves_) {
        anyP = anyP || w.pOnset != w.pEnd;
        anyT = anyT || w.tOnset != w.tEnd;
    }
    if (!anyP)
        measurements_.pDuration = measurements_.pr = 0;
    if (!anyT)
        measurements_.tDuration = measurements_.qt = measurements_.qtc = 0;

    labels_ = {};
    for (int lead = 0; lead < kLeadCount; ++lead)
        labels_[lead] = BuildQrsShapeLabel(leads_[lead]);
    flags_.fill(0);

    RuleInput input;
    input.measurements = measurements_;
    input.leads = leads_;
    input.labels = labels_;
    input.bradycardiaLimit = bradycardiaLimit_;
    input.tachycardiaLimit = tachycardiaLimit_;
    ApplyInterpretationRules(input, flags_);

    const int first = ComposeConclusion(flags_, lines, language);
    rhythm_.Clear();
    return first;
}

void AnalysisEngine::ClearRecordState()
{
    rhythm_.Clear();
    averageBeats_ = {};
}

void AnalysisEngine::ClearResults()
{
    measurements_ = {};
    leads_ = {};
}
