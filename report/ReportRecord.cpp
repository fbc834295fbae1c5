#include "report/ReportRecord.h"

#include <QDir>
#include <QFileInfo>
#include <filesystem>
#include <memory>

#include "record/RecordFile.h"

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
    const std::filesystem::path path = recordPath.toStdString();
    const std::optional<std::vector<DevicePacket>> packets = ReadRecordPackets(path);
    if (!packets) {
        record.outcome = RecordReadOutcome::OpenFailed;
        return record;
    }
    if (packets->empty()) {
        record.outcome = RecordReadOutcome::TooShort;
        return record;
    }
    record.content = BuildReportContent(*packets, printSpeedIndex, HasSampleOffset(path));

    // A private engine: the program's own keeps what the screen shows.
    auto engine = std::make_unique<AnalysisEngine>();
    ReviewRecord review;
    ConclusionLines lines;
    if (LoadForReview(path, *engine, language, lines, review) == ReviewOutcome::Loaded
        && review.analysed) {
        record.summary.measurements = engine->Measurements();
        record.summary.rv5 = engine->Leads()[kLeadV5][kFieldR];
        record.summary.sv1 = engine->Leads()[kLeadV1][kFieldS];
        record.summary.conclusion = lines;
        record.summary.firstLine = review.firstLine;
    }
    record.outcome = RecordReadOutcome::Read;
    return record;
}
