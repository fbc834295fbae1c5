#include "ui/RecordReview.h"

#include <algorithm>

#include "analysis/AnalysisEngine.h"
#include "db/ReadingStore.h"
#include "foundation/LanguageTable.h"
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
    firstLine_ = record_.firstLine;
    reading_.reset();
    if (record_.analysed) {
        const LatestReading latest = LatestReadingOf(path);
        reading_ = latest.reading;
        if (latest.reading)
            firstLine_ = ComposeReading(*latest.reading, conclusion_, language_);
        else if (latest.failed)  // "need physician confirm" might not be true: it is not said
            conclusion_.line[firstLine_] = language_.Translate("The reading cannot be looked up.");
    }
    return outcome == ReviewOutcome::Loaded;
}

MeasurementSet RecordReview::Measurements() const
{
    return reading_ ? CorrectedMeasurements(engine_.Measurements(), reading_->values) : engine_.Measurements();
}

uint32_t RecordReview::CorrectedMarks() const
{
    return reading_ ? ::CorrectedMarks(reading_->values) : 0;
}

void RecordReview::ClearResults()
{
    engine_.ClearResults();
    reading_.reset();
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
