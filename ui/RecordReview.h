#pragma once
// A stored record on the screen: read and analysed for review, drawn into the lead panels up to
// the second chosen with "<" and ">", and its conclusion for the diagnosis panel. The window keeps
// the buttons and says what went wrong.
#include <QString>

#include "analysis/AnalysisTypes.h"
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
    // when it could not be read. With a live decoder, the record's last lead becomes its latest.
    bool Load(const QString& path, StreamDecoder* liveDecoder);
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
    const ConclusionLines& Conclusion() const { return conclusion_; }
    int FirstLine() const { return record_.firstLine; }
    // All twelve leads were there: the conclusion lines are shown.
    bool Diagnosed() const { return record_.leadsSeen == kLeadCount; }

private:
    AnalysisEngine& engine_;
    const LanguageTable& language_;
    ReviewRecord record_;
    ConclusionLines conclusion_;
    int currentSecond_ = 0;
};
