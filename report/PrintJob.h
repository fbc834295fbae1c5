#pragma once
// The print job of a record's report: the record's patient looked up, the record read and
// analysed, the report laid out on the printer chosen and its pages produced. It asks nothing and
// shows nothing; each step returns an outcome and the window says what PrintMessageKeys names.
#include <QString>
#include <functional>
#include <optional>

#include "report/ReportLayout.h"

class LanguageTable;
class QPrinter;

enum class PrintOutcome {
    Ready,             // prepared or laid out: the next step may run
    Printed,
    SearchFailed,      // the patient could not be looked up
    NoSuchPatient,     // the record's folder names a patient who is not there
    OtherPatient,      // the record's folder holds another patient's records (set aside if it could)
    NoPath,
    RecordUnreadable,
    RecordTooShort,    // not one whole second
    PaperTooSmall,     // not one strip fits the paper; the summary page still prints
    PrinterError,      // no usable printer, or the document could not be started or written whole
    Canceled,          // refused at a page (Cancel), or a page could not be started
};

// The caption and text keys of the message an outcome is told with; null for none.
struct PrintMessageKeys {
    const char* caption = nullptr;
    const char* text = nullptr;
};
PrintMessageKeys PrintMessageFor(PrintOutcome outcome);

class PrintJob {
public:
    // Texts and statements in language, which must outlive the job.
    explicit PrintJob(const LanguageTable& language) : language_(&language) {}

    // Looks up the patient the record's folder names and reads and analyses the record: Ready,
    // or why not.
    PrintOutcome Prepare(const QString& recordPath, int printSpeedIndex);
    // Sets a printer up as the report expects it, before the printer dialog.
    static void SetUpPrinter(QPrinter& printer);
    // Lays the prepared report out on the printer chosen: Ready, PaperTooSmall or PrinterError.
    PrintOutcome LayOut(QPrinter& printer);
    // Produces the pages: Printed, PrinterError or Canceled. goOn runs before each page (the
    // summary page is the last) and cancels the job by returning false. The prepared report is
    // let go whatever the outcome. A PDF replaces its file only when it was written whole.
    PrintOutcome Print(QPrinter& printer, const std::function<bool(int page, bool summary)>& goOn);

private:
    PrintOutcome Render(QPrinter& printer, const std::function<bool(int page, bool summary)>& goOn);

    const LanguageTable* language_;
    std::optional<ReportLayout> layout_;
};
