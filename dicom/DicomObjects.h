#pragma once
// The two DICOM objects of a record, in one study: the ECG waveform with the automatic
// measurements and the conclusion as annotations, and the printed report as an encapsulated PDF.
//
// The recorder takes the leads one after another, 4 s each, so no two leads are ever sampled
// together. The waveform therefore holds one multiplex group of one channel per lead, spanning
// the whole record at 800 samples per second, in which each channel carries the recorder's
// samples, less their zero line, exactly where its lead was taken and the padding value
// everywhere else: the time of every sample stays where it was acquired and nothing suggests
// simultaneous leads. The 12-Lead ECG class admits at most five multiplex groups and 16384 samples per group, which
// neither one group over 48 s nor one group per lead fits; General ECG admits it.
#include <filesystem>
#include <memory>
#include <string>

#include "dicom/DicomRecord.h"

class DcmFileFormat;
class LanguageTable;

constexpr const char* kManufacturer = "Corvida";
constexpr int16_t kWaveformPadding = -32768;  // never a sample: those stored are -192 ... 831
// Annotations of the automatic analysis share one group; none of it is confirmed by a
// physician, and the group says so in its first text.
constexpr uint16_t kMachineAnnotationGroup = 1;

enum class DicomObjectKind { Waveform, Report };

struct DicomObject {
    DicomObjectKind kind = DicomObjectKind::Waveform;
    std::filesystem::path record;
    std::shared_ptr<DcmFileFormat> file;
};

// µV per sample unit for a gain code: the recorder scales its samples with the gain, as the
// report's calibration pulse shows (1 mV is 40, 80 or 160 units at 5, 10 or 20 mm/mV), so gain
// code 1 gives the 80 units per mV of the analysis. Gain code 3 has no known scale: 0.
double SensitivityMicrovolts(uint8_t gainCode);

// False when the Patient ID would not read back as given: it holds \\ (the value separator) or
// a control character, or is longer than the 64 bytes an ID may have. Such an ID is refused,
// never sent changed: an archive would file the ECG under another patient.
bool IsWritablePatientId(const std::string& id);

DicomObject BuildEcgWaveform(const DicomRecord& record, const DicomPatient& patient,
                             const RecordUids& uids, const LanguageTable& language);
// `pdf` holds the bytes of the report's PDF file.
DicomObject BuildReportDocument(const std::string& pdf, const DicomRecord& record,
                                const DicomPatient& patient, const RecordUids& uids,
                                const LanguageTable& language);

// Writes the object as a DICOM file (explicit VR little endian); false with `why` in English.
bool WriteDicomFile(const DicomObject& object, const std::filesystem::path& out, std::string& why);
