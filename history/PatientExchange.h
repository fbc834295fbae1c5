#pragma once
// Moving one patient between installations: an export folder holds PatientInfo.xml (the patient's
// row) and copies of the patient's record files; an import stores that row as a new patient and
// copies the records into its data folder. Both only report what happened; the history list
// turns that into its messages.
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "db/PatientStore.h"

inline constexpr char kPatientInfoFile[] = "PatientInfo.xml";
// The export folder's name: the export time, local, to the second.
inline constexpr char kExportFolderFormat[] = "yyyyMMdd-HHmmss";
// Names tried for one export before giving up: the time's own and -2 … -100 after it.
inline constexpr int kMaxExportFolderTries = 100;

// A part of an export or import left out: the file's name and the message key of why ("save
// error", "copy failed", "not a record").
struct ExchangeProblem {
    QString file;
    const char* key;
};

struct ExportResult {
    enum class Outcome {
        Exported,      // everything was written
        FolderFailed,  // the export folder could not be made
        NoRecords,     // the patient has no record file; problems says whether its row was saved
        Incomplete,    // problems names what is missing
    };
    Outcome outcome = Outcome::FolderFailed;
    QString folder;  // the export folder
    std::vector<ExchangeProblem> problems;
    bool Exported() const { return outcome == Outcome::Exported; }
};

// Writes patient id's export folder inside destination, named by `now`.
ExportResult ExportPatient(int32_t id, const QString& destination,
                           const QDateTime& now = QDateTime::currentDateTime());

struct ImportResult {
    enum class Outcome {
        Imported,    // stored, and every record copied
        NoData,      // PatientInfo.xml is missing or not a sound file: nothing stored
        NotStored,   // the store failed with `store`
        NoRecords,   // stored; the folder held no record file
        Incomplete,  // stored; problems names what was not copied
    };
    Outcome outcome = Outcome::NoData;
    StoreOutcome store = StoreOutcome::Stored;
    std::optional<int32_t> id;  // the new patient, when stored
    std::vector<ExchangeProblem> problems;
};

// Reads folder/PatientInfo.xml, stores its patient as a new one and copies folder's records into
// the new data folder. The folder is untrusted: anything but a sound PatientInfo.xml stores
// nothing, and only plain files named as records whose content is a record are copied.
ImportResult ImportPatient(const QString& folder,
                           const QDateTime& now = QDateTime::currentDateTime());
