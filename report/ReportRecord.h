#pragma once
// A record read for its report, and the patient a record belongs to. Nothing here asks or shows:
// the print job and the command-line tools decide what the user is told.
#include <QString>

#include "db/PatientStore.h"
#include "report/ReportLayout.h"

class LanguageTable;

// A record read for its report: the leads in file order and the analysis of this very file, so
// the summary page can never show the measurements of another record.
enum class RecordReadOutcome { Read, OpenFailed, TooShort };
struct ReportRecord {
    RecordReadOutcome outcome = RecordReadOutcome::OpenFailed;
    ReportContent content;
    ReportSummary summary;
};
// The statements are composed in language; a confirmed reading, when given, stands in place of
// the machine's.
ReportRecord ReadReportRecord(const QString& recordPath, int printSpeedIndex,
                              const LanguageTable& language, const Reading* reading = nullptr);
