#pragma once
// Moving one patient between installations: an export folder holds PatientInfo.xml (the patient's
// row) and copies of the patient's record files; an import stores that row as a new patient and
// copies the records into its data folder. Both only report what happened; the history list
// turns that into its messages.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "db/PatientStore.h"

inline constexpr char kPatientInfoFile[] = "PatientInfo.xml";
// The export folder's name: the export time, local, to the second.
inline constexpr char kExportFolderFormat[] = "yyyyMMdd-HHmmss";
// Names tried for one export before giving up: the time's own and -2 … -100 after it.
inline constexpr int kMaxExportFolderTries = 100;

// The names of the record files (*.cv) directly in folder: regular files only, so neither links
// nor device files are ever followed or read. Directory order.
QStringList RecordFileNames(const QString& folder);

// A part of an export that could not be written: the file's name and the message key of what
// went wrong ("save error", "copy failed").
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
        Incomplete,  // stored; problems names the data folder or the records not copied
    };
    Outcome outcome = Outcome::NoData;
    StoreOutcome store = StoreOutcome::Stored;
    std::optional<int32_t> id;  // the new patient, when stored
    std::vector<ExchangeProblem> problems;
};

// Reads folder/PatientInfo.xml, stores its patient as a new one and copies folder's record files
// into the new data folder. The file is untrusted: anything but a sound file stores nothing.
ImportResult ImportPatient(const QString& folder,
                           const QDateTime& now = QDateTime::currentDateTime());
