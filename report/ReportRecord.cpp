#include "report/ReportRecord.h"

#include "record/AnalysedRecord.h"

ReportRecord ReadReportRecord(const QString& recordPath, int printSpeedIndex,
                              const LanguageTable& language)
{
    ReportRecord record;
    AnalysedRecord read;
    switch (ReadAnalysedRecord(recordPath.toStdString(), language, read)) {
    case AnalysedRead::Unreadable: record.outcome = RecordReadOutcome::OpenFailed; return record;
    case AnalysedRead::TooShort: record.outcome = RecordReadOutcome::TooShort; return record;
    case AnalysedRead::Read: break;
    }
    record.content = BuildReportContent(read.packets, printSpeedIndex, read.sampleOffset);
    if (read.analysed)
        record.summary = {read.measurements, read.rv5, read.sv1, read.conclusion, read.firstLine};
    record.outcome = RecordReadOutcome::Read;
    return record;
}
