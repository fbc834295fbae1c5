#include "report/ReportRecord.h"

#include "record/AnalysedRecord.h"

ReportRecord ReadReportRecord(const QString& recordPath, int printSpeedIndex,
                              const LanguageTable& language, const Reading* reading)
{
    ReportRecord record;
    AnalysedRecord read;
    switch (ReadAnalysedRecord(recordPath.toStdString(), language, read)) {
    case AnalysedRead::Unreadable: record.outcome = RecordReadOutcome::OpenFailed; return record;
    case AnalysedRead::TooShort: record.outcome = RecordReadOutcome::TooShort; return record;
    case AnalysedRead::Read: break;
    }
    record.content = BuildReportContent(read.packets, printSpeedIndex, read.sampleOffset);
    if (read.analysed) {
        record.summary.measurements = read.measurements;
        record.summary.rv5 = read.rv5;
        record.summary.sv1 = read.sv1;
        record.summary.conclusion = read.conclusion;
        record.summary.firstLine = read.firstLine;
        record.summary.machine = MachineReading(read.diagnosis);
    }
    if (reading)
        ApplyReading(record.summary, *reading, language);
    record.outcome = RecordReadOutcome::Read;
    return record;
}
