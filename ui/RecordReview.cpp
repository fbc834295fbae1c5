#include "ui/RecordReview.h"

#include <algorithm>

#include "analysis/AnalysisEngine.h"
#include "record/DisplayPoint.h"
#include "ui/WaveformDisplay.h"

RecordReview::RecordReview(AnalysisEngine& engine, const LanguageTable& language)
    : engine_(engine), language_(language)
{
    for (std::string& line : conclusion_.line)
        line.assign(1, ' ');
}

bool RecordReview::Load(const QString& path, StreamDecoder* liveDecoder)
{
    const ReviewOutcome outcome = LoadForReview(path.toStdString(), engine_, language_,
                                                conclusion_, record_, liveDecoder);
    currentSecond_ = record_.currentSecond;
    return outcome == ReviewOutcome::Loaded;
}

void RecordReview::ClearResults()
{
    engine_.ClearResults();
    for (std::string& line : conclusion_.line)
        line.clear();
}

bool RecordReview::StepBack()
{
    if (currentSecond_ < 2)
        return false;
    --currentSecond_;
    return true;
}

bool RecordReview::StepForward()
{
    if (currentSecond_ >= record_.pageCount)
        return false;
    ++currentSecond_;
    return true;
}

void RecordReview::Draw(WaveformDisplay& display) const
{
    const std::size_t count = std::min<std::size_t>(
        record_.points.size(), std::size_t(currentSecond_) * kPacketsPerSecond / kPacketsPerPoint);
    display.DrawReview(record_.points.data(), record_.points.size(), count);
}
