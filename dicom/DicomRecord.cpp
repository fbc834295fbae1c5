#include "dicom/DicomRecord.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "analysis/AnalysisEngine.h"
#include "foundation/LanguageTable.h"
#include "record/RecordFile.h"

namespace {

// FNV-1a, 64 bits: stable across runs and platforms, which std::hash is not.
class Fnv1a {
public:
    void Add(const void* data, size_t size)
    {
        for (size_t i = 0; i < size; ++i) {
            hash_ ^= static_cast<const uint8_t*>(data)[i];
            hash_ *= 1099511628211ULL;
        }
    }
    void Add(const std::string& text) { Add(text.data(), text.size() + 1); }  // with the NUL
    uint64_t Value() const { return hash_; }

private:
    uint64_t hash_ = 14695981039346656037ULL;
};

std::tm FileTime(const std::filesystem::path& path)
{
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(path, ec);
    const std::time_t t = ec ? std::time(nullptr)
                             : std::chrono::system_clock::to_time_t(
                                   std::chrono::file_clock::to_sys(written));
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

}  // namespace

std::string PatientIdFromClinicalNo(const std::string& clinicalNo)
{
    const size_t first = clinicalNo.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const std::string id = clinicalNo.substr(first, clinicalNo.find_last_not_of(' ') - first + 1);
    return id.find_first_not_of('0') == std::string::npos ? std::string() : id;
}

int RecordSample(const DevicePacket& packet, bool sampleOffset)
{
    const int sample = ExtractFields(packet.data()).sample;
    return sampleOffset ? std::clamp(sample - kLiveSampleOffset, 0, 1023) : sample;
}

DicomRecordRead ReadDicomRecord(const std::filesystem::path& path, const LanguageTable& language,
                                DicomRecord& record)
{
    std::optional<std::vector<DevicePacket>> packets = ReadRecordPackets(path);
    if (!packets)
        return DicomRecordRead::Unreadable;
    if (packets->empty())
        return DicomRecordRead::TooShort;
    record = DicomRecord();
    record.path = path;
    record.packets = std::move(*packets);
    record.sampleOffset = HasSampleOffset(path);
    const std::optional<std::tm> named = RecordStartTime(path);
    record.start = named ? *named : FileTime(path);

    // A private engine, as the report uses: the program's own keeps what the screen shows.
    auto engine = std::make_unique<AnalysisEngine>();
    ConclusionLines lines;
    ReviewRecord review;
    if (LoadForReview(path, *engine, language, lines, review) == ReviewOutcome::Loaded
        && review.analysed) {
        record.analysed = true;
        record.measurements = engine->Measurements();
        record.rv5 = engine->Leads()[kLeadV5][kFieldR];
        record.sv1 = engine->Leads()[kLeadV1][kFieldS];
        for (int i = 9; i >= review.firstLine && i >= 0; --i)
            record.conclusion.push_back(lines.line[i]);
    }
    return DicomRecordRead::Read;
}

RecordUids MakeRecordUids(const std::string& uidRoot, const DicomRecord& record,
                          const DicomPatient& patient, const std::string& languageName)
{
    Fnv1a hash;
    hash.Add(record.packets.data(), record.packets.size() * sizeof(DevicePacket));
    hash.Add(patient.id);
    hash.Add(patient.name);
    hash.Add(std::string(1, patient.sex));
    hash.Add(std::to_string(patient.age));
    hash.Add(patient.reportFacts);
    hash.Add(patient.personName);
    hash.Add(patient.issuerOfPatientId);
    hash.Add(patient.birthDate);
    if (patient.order)
        for (const std::string* fact : {&patient.order->accessionNumber, &patient.order->studyInstanceUid,
                                        &patient.order->requestedProcedureId,
                                        &patient.order->requestedProcedureDescription,
                                        &patient.order->scheduledStepId})
            hash.Add(*fact);
    hash.Add(languageName);
    // 18 digits at most, so the root may take 41 of a UID's 64 characters.
    const std::string base = uidRoot + "." + std::to_string(hash.Value() % 1000000000000000000ULL);
    RecordUids uids;
    // Under an order, the study is the one the order system issued, which is how the PACS and the
    // order system find the ECG.
    uids.study = patient.order && !patient.order->studyInstanceUid.empty()
                     ? patient.order->studyInstanceUid
                     : base + ".1";
    uids.waveformSeries = base + ".2";
    uids.waveformInstance = base + ".2.1";
    uids.reportSeries = base + ".3";
    uids.reportInstance = base + ".3.1";
    return uids;
}
