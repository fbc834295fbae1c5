#pragma once
// The report of a record as a PDF document, without a printer: A4 at 600 dpi, the resolution the
// report assumes before a printer is known. Used by corvida-report and by the DICOM export.
#include <QByteArray>
#include <QString>
#include <optional>

class QIODevice;
class LanguageTable;
struct PatientRecord;
struct Reading;

enum class ReportPdfOutcome { Written, RecordUnreadable, RecordTooShort, PaperTooSmall, WriteFailed };

// Reads and analyses the record and writes its report to `out`, open for writing; a null patient prints the
// header's field names without values, a null reading the machine's. pageCount is set when written.
ReportPdfOutcome WriteReportPdf(QIODevice& out, const QString& recordPath,
                                const PatientRecord* patient, int printSpeedIndex,
                                const LanguageTable& language, const Reading* reading = nullptr,
                                int* pageCount = nullptr);

// The same into memory, for callers that hand the document on (the DICOM export); empty when
// the report cannot be made.
std::optional<QByteArray> ReportPdfData(const QString& recordPath, const PatientRecord* patient,
                                        int printSpeedIndex, const LanguageTable& language,
                                        const Reading* reading = nullptr);
