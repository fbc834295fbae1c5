#pragma once
// A stored record on the screen: read and analysed for review, drawn into the lead panels up to
// the second chosen with "<" and ">", and its conclusion for the diagnosis panel. A physician's
// latest confirmed reading of the record stands in for the machine's. The window keeps the buttons
// and says what went wrong.
#include <QString>
#include <optional>

#include "analysis/AnalysisTypes.h"
#include "analysis/Reading.h"
#include "record/RecordFile.h"

class AnalysisEngine;
class LanguageTable;
class StreamDecoder;
class WaveformDisplay;

class RecordReview {
public:
    // The engine holds the measurements shown; the statements are composed in language. Both
    // must outlive the review.
    RecordReview(AnalysisEngine& engine, const LanguageTable& language);

    // Reads the record and runs its analysis, shown from its last second (48 at the most); false
    // when it could not be read. The panels then show the record's latest confirmed reading, or
    // say when it cannot be known. With a live decoder, the record's last lead becomes its latest.
    bool Load(const QString& path, StreamDecoder* liveDecoder);
    // The second a loaded record's lead structure breaks in, or -1.
    int DamagedSecond() const { return record_.damagedSecond; }
    // The measurements and the conclusion lines go blank.
    void ClearResults();

    // The second shown, 1 ... the record's whole seconds (0 for a record without one).
    int CurrentSecond() const { return currentSecond_; }
    bool AtLastSecond() const { return currentSecond_ == record_.pageCount; }
    // A record of the recorder's full length is shown whole and never paged further.
    bool FixedLength() const { return record_.fixedLength; }
    // One second less or more; false (nothing changes) at the first or the last.
    bool StepBack();
    bool StepForward();

    // The record's points up to the current second into the lead panels.
    void Draw(WaveformDisplay& display) const;
    // The measurements as the panel shows them, and which of them a physician corrected.
    MeasurementSet Measurements() const;
    uint32_t CorrectedMarks() const;
    const ConclusionLines& Conclusion() const { return conclusion_; }
    int FirstLine() const { return firstLine_; }
    // All twelve leads were there: the conclusion lines are shown.
    bool Diagnosed() const { return record_.leadsSeen == kLeadCount; }

private:
    AnalysisEngine& engine_;
    const LanguageTable& language_;
    ReviewRecord record_;
    ConclusionLines conclusion_;
    int firstLine_ = 9;
    std::optional<Reading> reading_;
    int currentSecond_ = 0;
};
