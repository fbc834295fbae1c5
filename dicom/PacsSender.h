#pragma once
// C-STORE of DICOM objects to the PACS over one association. An object counts as sent only when
// the PACS answered its request with success or a warning; every other end is a failure with the
// reason and, when the PACS gave one, its own status text.
#include <filesystem>
#include <string>
#include <vector>

#include "dicom/DicomObjects.h"
#include "dicom/DicomSettings.h"

enum class SendStatus {
    Sent,              // the PACS answered success
    SentWithWarning,   // the PACS stored it and answered a warning (detail: status and its text)
    Rejected,          // the PACS answered a failure (detail: status and its text)
    NotAccepted,       // the PACS takes no object of this kind (no presentation context)
    Unreachable,       // no connection: the PACS is down, the address is wrong, or it timed out
    Refused,           // the PACS rejected the association (detail: its reason)
    ConnectionLost,    // the association broke or timed out before the answer came
    NoPatientId,       // refused here: an archive cannot file an object without a patient ID
    PatientIdUnwritable,  // refused here: the clinical number would not read back as given
    RecordUnreadable,  // the record file cannot be read
    RecordTooShort,    // the record holds less than one second
    ReportFailed,      // the report's PDF could not be made
    NoPacs,            // Settings.ini names no usable PACS or UID root
};

struct ObjectOutcome {
    DicomObjectKind kind = DicomObjectKind::Waveform;
    std::filesystem::path record;
    SendStatus status = SendStatus::Unreachable;
    std::string detail;  // English or the PACS's own words; may be empty
    bool Accepted() const { return status == SendStatus::Sent || status == SendStatus::SentWithWarning; }
};

// One outcome per object, in the order given.
std::vector<ObjectOutcome> SendDicomObjects(const PacsSettings& pacs,
                                            const std::vector<DicomObject>& objects);
