#include "report/ReportRecord.h"

#include <QDir>
#include <QFileInfo>

#include "record/AnalysedRecord.h"

namespace {

bool IsDecimalId(const QString& text)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (QChar c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

}  // namespace

QString PatientIdForRecord(const QString& recordPath)
{
    // The record's folder, not the patient last chosen in the history list: after History View
    // and a new patient's recording those two differ, and the header must name the record's own
    // patient.
    const QString folder = QFileInfo(QString(recordPath).replace('\\', '/')).dir().dirName();
    return IsDecimalId(folder) ? folder : QString();
}

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
