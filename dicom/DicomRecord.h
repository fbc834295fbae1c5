#pragma once
// A record as its DICOM objects show it: the packets of its whole seconds, its start time, the
// review's analysis of it, the patient it belongs to, and the UIDs of its study. Plain standard
// C++.
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

#include "device/DevicePacket.h"
#include "record/AnalysedRecord.h"

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
    // into the report's instance UID only.
    std::string reportFacts;
};

// The Patient ID for a clinical number: empty for an empty number and for the entry box's
// untouched "00000000". An archive files objects by this ID, and that default is shared by every
// patient who kept it, so sending it would put strangers' ECGs in one chart.
std::string PatientIdFromClinicalNo(const std::string& clinicalNo);

// A record as the objects show it: read and analysed as for paper, and started when its name
// says (else when its file was written).
struct DicomRecord : AnalysedRecord {
    std::filesystem::path path;
    std::tm start{};  // local time
};

// The sample of a packet as the readers use it: the 10-bit value, less 320 (held to 0 ... 1023)
// for a record stored with the offset.
int RecordSample(const DevicePacket& packet, bool sampleOffset);

// Reads a record into `record` and runs the review's analysis on it with the statements of
// `language`.
AnalysedRead ReadDicomRecord(const std::filesystem::path& path, const LanguageTable& language,
                             DicomRecord& record);

// UIDs under the organisation's root, made again alike whenever the same record is exported or
// sent (an archive keeps one copy). The study and its series follow from the record's samples
// and the patient the objects name, and nothing else: a report in another language is another
// instance of the same study. An instance also follows from what its object alone shows (the
// language of its texts; for the report, the patient's other printed facts), so a corrected
// report is a new instance beside the old one.
struct RecordUids {
    std::string study;
    std::string waveformSeries, waveformInstance;
    std::string reportSeries, reportInstance;
};
RecordUids MakeRecordUids(const std::string& uidRoot, const DicomRecord& record,
                          const DicomPatient& patient, const std::string& languageName);
