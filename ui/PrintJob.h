#pragma once
// The print job: the question, the printer dialog, the pages with the AbortBox, and the messages
// of every way a job can end. Qt printing runs on the user-interface thread; events are processed
// between pages so Cancel works while the main window stays disabled.
#include <QString>
#include <optional>

#include "report/ReportLayout.h"
#include "report/ReportRecord.h"

struct AppContext;
class QPrinter;
class QWidget;

// The Print button: asks "Do You Want To Print Data?" and on Yes prints the record. Questions,
// messages and the printer dialog go through the context's prompt, in its language.
void PrintRecord(const AppContext& context, QWidget* owner, const QString& recordPath,
                 int printSpeedIndex);

enum class PrintOutcome {
    Printed,
    NotAsked,        // the user answered No
    PatientError,    // lookup failed, no such patient, or no path: the message was shown
    RecordError,     // unreadable or empty record: the message was shown
    DialogCanceled,  // the printer dialog was cancelled: nothing shown
    PrinterError,    // no usable printer, or the document could not be started
    Canceled,        // Cancel in the AbortBox, or a page could not be started
};

// Looks the patient up, reads the record and prints it through the printer dialog.
PrintOutcome PrintRecordReport(const AppContext& context, QWidget* owner,
                               const QString& recordPath, const QString& patientId,
                               int printSpeedIndex);

// The job itself on a chosen printer: the owner is disabled and the AbortBox shown while the
// pages are produced.
PrintOutcome RunPrintJob(const AppContext& context, QWidget* owner, QPrinter& printer,
                         ReportLayout& layout);
