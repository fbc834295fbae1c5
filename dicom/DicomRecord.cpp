#include "dicom/DicomRecord.h"

#include <algorithm>
#include <chrono>

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

AnalysedRead ReadDicomRecord(const std::filesystem::path& path, const LanguageTable& language,
                             DicomRecord& record)
{
    record = DicomRecord();
    const AnalysedRead read = ReadAnalysedRecord(path, language, record);
    record.path = path;
    const std::optional<std::tm> named = RecordStartTime(path);
    record.start = named ? *named : FileTime(path);
    return read;
}

RecordUids MakeRecordUids(const std::string& uidRoot, const DicomRecord& record,
                          const DicomPatient& patient, const std::string& languageName)
{
    Fnv1a study;
    study.Add(record.packets.data(), record.packets.size() * sizeof(DevicePacket));
    for (const std::string* fact : {&patient.id, &patient.name, &patient.personName,
                                    &patient.issuerOfPatientId, &patient.birthDate})
        study.Add(*fact);
    study.Add(std::string(1, patient.sex));
    study.Add(std::to_string(patient.age));
    if (patient.order)
        for (const std::string* fact : {&patient.order->accessionNumber, &patient.order->studyInstanceUid,
                                        &patient.order->requestedProcedureId,
                                        &patient.order->requestedProcedureDescription,
                                        &patient.order->scheduledStepId})
            study.Add(*fact);
    Fnv1a waveform = study;
    waveform.Add(languageName);
    Fnv1a report = waveform;
    report.Add(patient.reportFacts);
    // 18 digits at most, so the root may take 41 of a UID's 64 characters.
    const auto under = [&uidRoot](const Fnv1a& hash) {
        return uidRoot + "." + std::to_string(hash.Value() % 1000000000000000000ULL);
    };
    RecordUids uids;
    // Under an order, the study is the one the order system issued, which is how the PACS and the
    // order system find the ECG.
    uids.study = patient.order && !patient.order->studyInstanceUid.empty()
                     ? patient.order->studyInstanceUid
                     : under(study) + ".1";
    uids.waveformSeries = under(study) + ".2";
    uids.waveformInstance = under(waveform) + ".2.1";
    uids.reportSeries = under(study) + ".3";
    uids.reportInstance = under(report) + ".3.1";
    return uids;
}
