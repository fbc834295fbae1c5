#pragma once
// Moving one patient between installations: an export folder holds PatientInfo.xml (the patient's
// row) and copies of the patient's record files; an import stores that row as a new patient and
// copies the records into its data folder. Messages go through the prompt interface with the
// caption "History Patient List".
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

inline constexpr char kPatientInfoFile[] = "PatientInfo.xml";
// The export folder's name: the export time, local, to the second.
inline constexpr char kExportFolderFormat[] = "yyyyMMdd-HHmmss";

// The names of the record files (*.cv) directly in folder: regular files only, so neither links
// nor device files are ever followed or read. Directory order.
QStringList RecordFileNames(const QString& folder);

// Writes patient id's export folder inside destination, named by `now`. Reports "Exported",
// "no data file copied", or, when anything could not be written, "Export incomplete" with what
// is missing. True when everything was written.
bool ExportPatient(int32_t id, const QString& destination,
                   const QDateTime& now = QDateTime::currentDateTime());

// Reads folder/PatientInfo.xml, stores its patient as a new one and copies folder's record files
// into the new data folder. The file is untrusted: anything but a sound file gives "No data!" and
// nothing is stored. Returns the new patient's ID, or empty when nothing was stored.
std::optional<int32_t> ImportPatient(const QString& folder,
                                     const QDateTime& now = QDateTime::currentDateTime());

// Shows text (already translated) with the history list's caption, exclamation icon, OK.
void ShowHistoryMessage(const QString& text);
