#pragma once
// The two black panels right of the leads: the measurement panel (nine rows of the record's
// measurements) and the diagnosis panel (the title and the conclusion lines).
#include <QRect>
#include <array>

#include "analysis/AnalysisTypes.h"

class LanguageTable;
class QPainter;

class AnalysisPanels {
public:
    // The diagnosis title is in language, which must outlive the panels.
    explicit AnalysisPanels(const LanguageTable& language) : language_(&language) {}

    // Label, unit and value of each row; a value of 0 was not measured and shows "- - ".
    // R(V5) and S(V1) are the R of V5 and the S of V1 in leads; corrected marks the values a
    // reader corrected (see MeasurementValueTexts).
    void DrawMeasurements(QPainter& painter, const QRect& rect, const MeasurementSet& set,
                          const std::array<LeadMeasurements, kLeadCount>& leads,
                          uint32_t corrected = 0) const;
    // The title, and the conclusion lines from index 9 down to firstLine when showLines is set.
    // A long line makes the text of the panel smaller; only what is still too wide at the smallest
    // size (a reader's long comment) ends elided at the panel's edge.
    void DrawDiagnosis(QPainter& painter, const QRect& rect, const ConclusionLines& lines,
                       int firstLine, bool showLines) const;

private:
    const LanguageTable* language_;
};
