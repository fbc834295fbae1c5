#pragma once
// A record as its DICOM objects show it: the packets of its whole seconds, its start time, the
// review's analysis of it, the patient it belongs to, and the UIDs of its study. Plain standard
// C++.
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "analysis/AnalysisTypes.h"
#include "device/DevicePacket.h"

class LanguageTable;

// The hospital's order a record was made for, as its worklist gave it (UTF-8).
struct DicomOrder {
    std::string accessionNumber;
    std::string studyInstanceUid;  // the study the objects join; empty: one of their own
    std::string requestedProcedureId, requestedProcedureDescription;
    std::string scheduledStepId;
};

// The patient facts the objects carry.
struct DicomPatient {
    std::string name;        // UTF-8
    std::string personName;  // the name in DICOM form as a worklist gave it; empty: made from name
    std::string id;    // the clinical number, or the worklist's Patient ID; empty when none
    std::string issuerOfPatientId;
    char sex = 0;      // 'M', 'F', 'O', or 0 when unknown
    int age = -1;      // whole years; below 0 when unknown
    std::string birthDate;  // YYYYMMDD; empty when unknown
    std::optional<DicomOrder> order;  // none: the record was made for no order
    // The other facts the printed report shows (height, weight, blood group, notes): they go
    // into the UIDs only, so a corrected report is a new instance.
    std::string reportFacts;
};

// The Patient ID for a clinical number: empty for an empty number and for the entry box's
// untouched "00000000". An archive files objects by this ID, and that default is shared by every
// patient who kept it, so sending it would put strangers' ECGs in one chart.
std::string PatientIdFromClinicalNo(const std::string& clinicalNo);

struct DicomRecord {
    std::filesystem::path path;
    std::vector<DevicePacket> packets;  // the whole seconds, in file order
    bool sampleOffset = false;          // a title ending in "b": samples carry +320
    std::tm start{};                    // local start time: the record's name, else its file time
    bool analysed = false;              // all twelve leads seen: measurements and conclusion hold
    MeasurementSet measurements;
    int32_t rv5 = 0;  // R amplitude of V5, µV
    int32_t sv1 = 0;  // S amplitude of V1, µV (negative)
    std::vector<std::string> conclusion;  // the lines the review shows, top first
};

// The sample of a packet as the readers use it: the 10-bit value, less 320 (held to 0 ... 1023)
// for a record stored with the offset.
int RecordSample(const DevicePacket& packet, bool sampleOffset);

// Reads a record into `record` and runs the review's analysis on it with the statements of
// `language`.
enum class DicomRecordRead { Read, Unreadable, TooShort };
DicomRecordRead ReadDicomRecord(const std::filesystem::path& path, const LanguageTable& language,
                                DicomRecord& record);

// UIDs under the organisation's root. They follow from the record's samples and every fact the
// objects carry, so exporting or sending the same record again gives the same study and the same
// instances (an archive keeps one copy) and a corrected patient fact gives new ones.
struct RecordUids {
    std::string study;
    std::string waveformSeries, waveformInstance;
    std::string reportSeries, reportInstance;
};
RecordUids MakeRecordUids(const std::string& uidRoot, const DicomRecord& record,
                          const DicomPatient& patient, const std::string& languageName);
