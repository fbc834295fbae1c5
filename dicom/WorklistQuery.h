#pragma once
// The hospital's modality worklist asked for this station's scheduled steps (C-FIND of the
// Modality Worklist Information Model). Every text comes back in UTF-8, whatever character set
// the worklist declared; names stay in their DICOM form so they can be sent back exactly. Plain
// standard C++: the caller runs it where a slow worklist cannot hold a window.
#include <ctime>
#include <string>
#include <vector>

#include "dicom/DicomSettings.h"

// One scheduled step with its patient and order, as the worklist gave them (UTF-8). Any of them
// may be empty: a worklist leaves out what it does not know.
struct WorklistEntry {
    std::string patientName;  // DICOM form: Family^Given^Middle^Prefix^Suffix, groups apart by =
    std::string patientId, issuerOfPatientId;
    std::string patientSex;        // "M", "F", "O"
    std::string patientBirthDate;  // YYYYMMDD
    std::string accessionNumber;
    std::string requestedProcedureId, requestedProcedureDescription;
    std::string scheduledStepId;
    std::string scheduledDate, scheduledTime;  // YYYYMMDD, HHMM[SS[.F]]
    std::string studyInstanceUid;
};

enum class WorklistStatus {
    Found,        // the worklist answered; entries may be none
    Unreachable,  // no connection: the worklist is down or the address is wrong
    TimedOut,     // an answer did not come within the timeout
    Refused,      // the worklist rejected the association
    Broken,       // it broke off or answered what is no DICOM
    NotOffered,   // it offers no modality worklist
    Failed,       // it answered the query with a failure
};

struct WorklistAnswer {
    WorklistStatus status = WorklistStatus::Unreachable;
    std::string detail;  // why, in English or the worklist's own words; may be empty
    std::vector<WorklistEntry> entries;  // by scheduled date and time, those without last
    // Entries left out because their texts cannot be read in the character set they declare.
    int unreadable = 0;
};

// The steps of the settings' modality (and station, when set) scheduled from daysBefore days
// before `today` to daysAfter days after it.
WorklistAnswer QueryWorklist(const WorklistSettings& settings, const std::tm& today);

// A name in DICOM form as people write it: of the first group that holds a name, the family,
// given and middle names joined by blanks (prefix and suffix left out): "Müller^Hans^Peter"
// gives "Müller Hans Peter", "王^小明" gives "王 小明".
std::string ReadableName(const std::string& personName);

// The local date today, for the query and for ages.
std::tm LocalToday();

// Whole years from a birth date (YYYYMMDD) to `day`; -1 when the date is missing, malformed or
// after that day.
int AgeOn(const std::string& birthDate, const std::tm& day);
