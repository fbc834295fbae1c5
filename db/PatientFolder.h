#pragma once
// A patient's data folder carries the identity of the patient it was made for, in a small stamp
// file (ID, NewDate, name, clinical number), because an ID alone is handed on: the row limit
// gives a deleted patient's ID to a new one, a restored database gives out IDs again, and a
// station with its own Data folder never sees the take-over another station made. A folder is
// this patient's only when its stamp names the same ID and NewDate; anything else is moved aside
// (never erased) and never shown under the patient.
#include <QDateTime>
#include <QString>
#include <optional>

#include "db/PatientRecord.h"

class LanguageTable;

inline constexpr char kPatientStampFile[] = "Patient.json";

// One patient, not only one ID: the same PatientID and the same NewDate (every new patient,
// taken-over rows included, gets the time it was stored).
bool SamePatient(const PatientRecord& a, const PatientRecord& b);

// Renames folder aside to "<folder>.deleted-<yyyyMMddhhmmss>" of now (or -2, -3 ... after it when
// that name is taken). The new name; empty when there was nothing to move; nullopt when it
// could not be moved (a busy share, a mount point), and then nothing changed.
std::optional<QString> MoveFolderAside(const QString& folder, const QDateTime& now);

// Writes row's stamp into folder, whole or not at all.
bool StampPatientFolder(const QString& folder, const PatientRecord& row);

// Whether folder holds row's records as far as its stamp says: stamped for row, or not stamped
// (made by an earlier version). Changes nothing, for readers that cannot tell the user.
bool HoldsRecordsOf(const QString& folder, const PatientRecord& row);

enum class FolderCheck {
    Own,         // stamped for row, or stamped for it now (a folder of an earlier version)
    Missing,     // no folder: no records
    MovedAside,  // it held another patient's records, now in `aside`
    Foreign,     // it holds another patient's records and could not be moved aside
};
struct FolderCheckResult {
    FolderCheck check = FolderCheck::Missing;
    QString aside{};
};

// Whether folder, which holds records given as row's, belongs to row (just read from the
// database). Only row's own data folder is stamped (a live row's, when it has no stamp) or moved
// aside; a folder elsewhere stamped for another patient is Foreign and left where it is.
FolderCheckResult CheckPatientFolder(const QString& folder, const PatientRecord& row,
                                     const QDateTime& now = QDateTime::currentDateTime());

// What the user is told of a folder check that found another patient's records, in language,
// with the folder (and where it went); empty when the folder is the patient's or missing.
QString DescribeFolderCheck(const FolderCheckResult& result, const QString& folder,
                            const LanguageTable& language);
