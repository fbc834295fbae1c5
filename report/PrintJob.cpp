#include "report/PrintJob.h"

#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <filesystem>
#include <fstream>

#include "db/PatientFolder.h"
#include "db/PatientStore.h"
#include "db/ReadingStore.h"
#include "foundation/WholeFile.h"
#include "report/ReportRecord.h"

namespace {

// A PDF cut short by a full disk lacks its closing "%%EOF" line.
bool EndsAsPdf(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    const std::streamoff size = in.tellg();
    if (!in || size < 16)
        return false;
    std::string tail(16, '\0');
    in.seekg(size - 16);
    in.read(tail.data(), 16);
    return in && tail.find("%%EOF") != std::string::npos;
}

}  // namespace

PrintMessageKeys PrintMessageFor(PrintOutcome outcome)
{
    switch (outcome) {
    case PrintOutcome::SearchFailed: return {"PatientInfo", "Search Record Error"};
    case PrintOutcome::NoSuchPatient: return {"PatientInfo", "The Patient is not exist!"};
    case PrintOutcome::OtherPatient: return {"PatientInfo", "Records of another patient"};
    case PrintOutcome::NoPath: return {"PatientInfo", "File Path Is NULL"};
    case PrintOutcome::RecordUnreadable: return {"Corvida", "file error"};
    case PrintOutcome::RecordTooShort: return {"Corvida", "No data!"};
    case PrintOutcome::PaperTooSmall: return {"Printing Error", "Paper too small, printing aborted!"};
    case PrintOutcome::PrinterError: return {"Error", "Printer Error! Failed to print !"};
    case PrintOutcome::Canceled: return {"Print", "Printing canceled ! "};
    case PrintOutcome::Ready:
    case PrintOutcome::Printed: break;
    }
    return {};
}

PrintOutcome PrintJob::Prepare(const QString& recordPath, int printSpeedIndex)
{
    layout_.reset();
    // The record's own patient names the header: a demo record belongs to none and prints blank.
    std::optional<PatientRecord> patient;
    if (const QString id = PatientIdForRecord(recordPath); !id.isEmpty()) {
        const PatientLookup found = FindPatient(id);
        if (found.queryFailed)
            return PrintOutcome::SearchFailed;
        if (!found.row)
            return PrintOutcome::NoSuchPatient;
        // The ID may have passed to another patient since the record was made: the folder's
        // stamp says whose records it holds.
        const FolderCheck folder = CheckPatientFolder(QFileInfo(recordPath).path(), *found.row).check;
        if (folder == FolderCheck::MovedAside || folder == FolderCheck::Foreign)
            return PrintOutcome::OtherPatient;
        patient = found.row;
    }
    if (recordPath.isEmpty())
        return PrintOutcome::NoPath;
    // The paper says what the latest reading says; when that cannot be known, nothing prints.
    const LatestReading latest = LatestReadingOf(recordPath);
    if (latest.failed)
        return PrintOutcome::SearchFailed;
    ReportRecord record = ReadReportRecord(recordPath, printSpeedIndex, *language_,
                                           latest.reading ? &*latest.reading : nullptr);
    if (record.outcome == RecordReadOutcome::OpenFailed)
        return PrintOutcome::RecordUnreadable;
    if (record.outcome == RecordReadOutcome::TooShort)
        return PrintOutcome::RecordTooShort;
    layout_.emplace(std::move(record.content),
                    BuildReportHeader(patient ? &*patient : nullptr, RecordDateText(recordPath),
                                      *language_),
                    std::move(record.summary), *language_);
    return PrintOutcome::Ready;
}

void PrintJob::SetUpPrinter(QPrinter& printer)
{
    printer.setFullPage(true);  // the page's origin is the paper's corner, as the layout expects
    printer.setDocName("MyDoc");
}

PrintOutcome PrintJob::LayOut(QPrinter& printer)
{
    if (!layout_ || !printer.isValid())
        return PrintOutcome::PrinterError;
    printer.setFullPage(true);
    // A PDF file has no printer resolution of its own; it gets the report's 600 dpi, like the
    // command-line report, so the single-pixel millimetre dots stay visible.
    if (printer.outputFormat() == QPrinter::PdfFormat)
        printer.setResolution(kDefaultReportDpi);
    layout_->MeasureDevice(printer, printer.pageRect(QPrinter::DevicePixel).toRect());
    return layout_->Pages().paperTooSmall ? PrintOutcome::PaperTooSmall : PrintOutcome::Ready;
}

PrintOutcome PrintJob::Print(QPrinter& printer,
                             const std::function<bool(int page, bool summary)>& goOn)
{
    if (!layout_)
        return PrintOutcome::PrinterError;
    // A PDF goes to a file beside the target and replaces it only when it was written whole (a
    // full disk leaves the old file, or none, never a cut-off report).
    const QString pdf = printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    PrintOutcome outcome = PrintOutcome::PrinterError;
    if (pdf.isEmpty()) {
        outcome = Render(printer, goOn);
    } else {
        std::string why;
        const auto write = [&](const std::filesystem::path& temporary, std::string&) {
            printer.setOutputFileName(QString::fromStdString(temporary.string()));
            outcome = Render(printer, goOn);
            return outcome == PrintOutcome::Printed && EndsAsPdf(temporary);
        };
        if (!WriteFileWhole(pdf.toStdString(), write, why) && outcome == PrintOutcome::Printed)
            outcome = PrintOutcome::PrinterError;
        printer.setOutputFileName(pdf);
    }
    layout_.reset();
    return outcome;
}

PrintOutcome PrintJob::Render(QPrinter& printer,
                              const std::function<bool(int page, bool summary)>& goOn)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return PrintOutcome::PrinterError;
    const int summaryPage = layout_->PageCount();
    const bool done = layout_->RenderDocument(painter, printer, [&](int page) {
        return !goOn || goOn(page, page == summaryPage);
    });
    if (!done) {
        printer.abort();
        painter.end();
        return PrintOutcome::Canceled;
    }
    return painter.end() ? PrintOutcome::Printed : PrintOutcome::Canceled;
}
