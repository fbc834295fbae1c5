#include "report/ReportPdf.h"

#include <QBuffer>
#include <QIODevice>
#include <QPainter>
#include <QPdfWriter>

#include "foundation/Translate.h"
#include "report/ReportRecord.h"
#include "report/ReportLayout.h"

ReportPdfOutcome WriteReportPdf(QIODevice& out, const QString& recordPath,
                                const PatientRecord* patient, int printSpeedIndex,
                                const LanguageTable& language, const Reading* reading, int* pageCount)
{
    ReportRecord record = ReadReportRecord(recordPath, printSpeedIndex, language, reading);
    if (record.outcome == RecordReadOutcome::OpenFailed)
        return ReportPdfOutcome::RecordUnreadable;
    if (record.outcome == RecordReadOutcome::TooShort)
        return ReportPdfOutcome::RecordTooShort;
    ReportLayout layout(std::move(record.content),
                        BuildReportHeader(patient, RecordDateText(recordPath), language),
                        std::move(record.summary), language);
    QPdfWriter writer(&out);
    writer.setResolution(kDefaultReportDpi);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setTitle(Translate(language, "Corvida ECG Report"));
    writer.setCreator("Corvida");
    layout.MeasureDevice(writer);
    if (layout.Pages().paperTooSmall)
        return ReportPdfOutcome::PaperTooSmall;
    QPainter painter;
    if (!painter.begin(&writer))
        return ReportPdfOutcome::WriteFailed;
    const bool done = layout.RenderDocument(painter, writer);
    if (!painter.end() || !done)
        return ReportPdfOutcome::WriteFailed;
    if (pageCount)
        *pageCount = layout.PageCount();
    return ReportPdfOutcome::Written;
}

std::optional<QByteArray> ReportPdfData(const QString& recordPath, const PatientRecord* patient,
                                        int printSpeedIndex, const LanguageTable& language,
                                        const Reading* reading)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (WriteReportPdf(buffer, recordPath, patient, printSpeedIndex, language, reading) != ReportPdfOutcome::Written)
        return std::nullopt;
    return buffer.data();
}
