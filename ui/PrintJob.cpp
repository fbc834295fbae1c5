#include "ui/PrintJob.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <memory>

#include "dialogs/AppContext.h"
#include "dialogs/Prompt.h"
#include "foundation/WholeFile.h"
#include "db/PatientStore.h"
#include "dialogs/AbortBox.h"

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

void Tell(const AppContext& context, const char* captionKey, const char* textKey)
{
    context.prompt.Show(context.Translate(captionKey), context.Translate(textKey),
                        PromptIcon::Exclamation, PromptButtons::Ok);
}

}  // namespace

void PrintRecord(const AppContext& context, QWidget* owner, const QString& recordPath,
                 int printSpeedIndex)
{
    const PromptAnswer answer = context.prompt.Show(
        context.Translate("Corvida"), context.Translate("Do You Want To Print Data?"),
        PromptIcon::Question, PromptButtons::YesNo);
    if (answer != PromptAnswer::Yes)
        return;
    PrintRecordReport(context, owner, recordPath, PatientIdForRecord(recordPath), printSpeedIndex);
}

PrintOutcome PrintRecordReport(const AppContext& context, QWidget* owner,
                               const QString& recordPath, const QString& patientId,
                               int printSpeedIndex)
{
    std::optional<PatientRecord> patient;
    if (!patientId.isEmpty()) {
        const PatientLookup found = FindPatient(patientId);
        if (found.queryFailed) {
            Tell(context, "PatientInfo", "Search Record Error");
            return PrintOutcome::PatientError;
        }
        if (!found.row) {
            Tell(context, "PatientInfo", "The Patient is not exist!");
            return PrintOutcome::PatientError;
        }
        patient = found.row;
    }
    if (recordPath.isEmpty()) {
        Tell(context, "PatientInfo", "File Path Is NULL");
        return PrintOutcome::PatientError;
    }
    ReportRecord record = ReadReportRecord(recordPath, printSpeedIndex, context.language);
    if (record.outcome == RecordReadOutcome::OpenFailed) {
        Tell(context, "Corvida", "file error");
        return PrintOutcome::RecordError;
    }
    if (record.outcome == RecordReadOutcome::TooShort) {
        Tell(context, "Corvida", "No data!");
        return PrintOutcome::RecordError;
    }
    ReportLayout layout(std::move(record.content),
                        BuildReportHeader(patient ? &*patient : nullptr, RecordDateText(recordPath),
                                          context.language),
                        std::move(record.summary), context.language);

    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);  // the page's origin is the paper's corner, as the layout expects
    printer.setDocName("MyDoc");
    if (!context.prompt.ChoosePrinter(printer))
        return PrintOutcome::DialogCanceled;
    return RunPrintJob(context, owner, printer, layout);
}

PrintOutcome RunPrintJob(const AppContext& context, QWidget* owner, QPrinter& printer,
                         ReportLayout& layout)
{
    if (!printer.isValid()) {
        Tell(context, "Error", "Printer Error! Failed to print !");
        return PrintOutcome::PrinterError;
    }
    printer.setFullPage(true);
    // A PDF file has no printer resolution of its own; it gets the report's 600 dpi, like the
    // command-line report, so the single-pixel millimetre dots stay visible.
    if (printer.outputFormat() == QPrinter::PdfFormat)
        printer.setResolution(kDefaultReportDpi);
    layout.MeasureDevice(printer, printer.pageRect(QPrinter::DevicePixel).toRect());
    if (layout.Pages().paperTooSmall)
        Tell(context, "Printing Error", "Paper too small, printing aborted!");

    if (owner)
        owner->setEnabled(false);
    AbortBox box(context.language, owner);
    box.show();
    QCoreApplication::processEvents();

    PrintOutcome outcome = PrintOutcome::Printed;
    const auto paint = [&] {
        QPainter painter;
        if (!painter.begin(&printer)) {
            outcome = PrintOutcome::PrinterError;
        } else {
            const int stripPages = layout.PageCount() - 1;
            const bool done = layout.RenderDocument(painter, printer, [&](int page) {
                if (page <= stripPages)
                    box.SetPage(page);
                QCoreApplication::processEvents();
                return !box.Canceled();
            });
            if (done && !box.Canceled()) {
                if (!painter.end())
                    outcome = PrintOutcome::Canceled;
            } else {
                printer.abort();
                painter.end();
                outcome = PrintOutcome::Canceled;
            }
        }
    };
    // A PDF goes to a file beside the target and replaces it only when it was written whole (a
    // full disk leaves the old file, or none, never a cut-off report).
    const QString pdf = printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    if (pdf.isEmpty()) {
        paint();
    } else {
        std::string why;
        const auto write = [&](const std::filesystem::path& temporary, std::string&) {
            printer.setOutputFileName(QString::fromStdString(temporary.string()));
            paint();
            return outcome == PrintOutcome::Printed && EndsAsPdf(temporary);
        };
        if (!WriteFileWhole(pdf.toStdString(), write, why) && outcome == PrintOutcome::Printed)
            outcome = PrintOutcome::PrinterError;
        printer.setOutputFileName(pdf);
    }
    if (!box.Canceled()) {
        if (owner)
            owner->setEnabled(true);
        box.hide();
    }
    // Messages come after the owner is back, so their boxes are not disabled with it.
    if (outcome == PrintOutcome::PrinterError)
        Tell(context, "Error", "Printer Error! Failed to print !");
    else if (outcome == PrintOutcome::Canceled)
        Tell(context, "Print", "Printing canceled ! ");
    return outcome;
}
