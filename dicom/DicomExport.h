#pragma once
// A record's objects made and sent in one call, for the command-line tool and for a dialog: no
// message boxes here and no global state; the caller shows the outcomes it gets back. Plain
// standard C++ (the report's PDF comes from the caller, which owns the printing code).
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dicom/DicomObjects.h"
#include "dicom/DicomRecord.h"
#include "dicom/DicomSettings.h"
#include "dicom/PacsSender.h"

class LanguageTable;

// Makes the report's PDF of a record into `pdf`; false when it cannot.
using ReportPdfMaker = std::function<bool(const std::filesystem::path& record, std::string& pdf)>;

// The objects of one record: the waveform when asked for, the report when a maker is given.
// What could not be made is in `failures`, one outcome per missing object. The waveform carries
// the record's confirmed reading when one is given, else the machine's (the report's maker makes
// the report of the same reading).
struct RecordObjects {
    std::vector<DicomObject> objects;
    std::vector<ObjectOutcome> failures;
};
RecordObjects BuildRecordObjects(const std::filesystem::path& record, const DicomPatient& patient,
                                 const LanguageTable& language, const std::string& uidRoot,
                                 bool waveform, const ReportPdfMaker& makeReport,
                                 const Reading* reading = nullptr);

// Both objects of each record of one patient to the PACS of `settings`, one association per
// record; one outcome per object, record by record, waveform first. readings, when given, holds
// the confirmed reading of each record (none: the machine's).
std::vector<ObjectOutcome> SendRecords(const std::vector<std::filesystem::path>& records,
                                       const DicomPatient& patient, const LanguageTable& language,
                                       const DicomSettings& settings,
                                       const ReportPdfMaker& makeReport,
                                       const std::vector<std::optional<Reading>>& readings = {});

// "ECG waveform m200903071405.cv: sent to the PACS", in the table's language; the PACS's own
// status text follows in brackets as it came.
std::string DescribeOutcome(const ObjectOutcome& outcome, const LanguageTable& language);
