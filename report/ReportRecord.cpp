#include "report/ReportRecord.h"

#include <filesystem>
#include <memory>

#include "record/RecordFile.h"

ReportRecord ReadReportRecord(const QString& recordPath, int printSpeedIndex,
                              const LanguageTable& language, const Reading* reading)
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
        record.summary.machine = MachineReading(engine->Diagnosis());
    }
    if (reading)
        ApplyReading(record.summary, *reading, language);
    record.outcome = RecordReadOutcome::Read;
    return record;
}
