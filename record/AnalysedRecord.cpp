#include "record/AnalysedRecord.h"

#include <memory>

#include "analysis/AnalysisEngine.h"
#include "record/RecordFile.h"

AnalysedRead ReadAnalysedRecord(const std::filesystem::path& path, const LanguageTable& language,
                                AnalysedRecord& record)
{
    std::optional<std::vector<DevicePacket>> packets = ReadRecordPackets(path);
    if (!packets)
        return AnalysedRead::Unreadable;
    if (packets->empty())
        return AnalysedRead::TooShort;
    record = AnalysedRecord();
    record.packets = std::move(*packets);
    record.sampleOffset = HasSampleOffset(path);

    auto engine = std::make_unique<AnalysisEngine>();
    ReviewRecord review;
    if (LoadForReview(path, *engine, language, record.conclusion, review) == ReviewOutcome::Loaded
        && review.analysed) {
        record.analysed = true;
        record.measurements = engine->Measurements();
        record.diagnosis = engine->Diagnosis();
        record.rv5 = engine->Leads()[kLeadV5][kFieldR];
        record.sv1 = engine->Leads()[kLeadV1][kFieldS];
        record.firstLine = review.firstLine;
    } else {
        record.conclusion = ConclusionLines();
    }
    return AnalysedRead::Read;
}
