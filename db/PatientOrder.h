#pragma once
// The hospital's order a patient was registered for from the worklist, kept in the table
// PatientOrder beside the patient's row (never in a record file): every record of that patient
// belongs to it. Values are bound, never placed into statement texts.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// As the worklist gave them, in UTF-8; any may be empty.
struct PatientOrder {
    QString accessionNumber;
    QString requestedProcedureId, requestedProcedureDescription;
    QString scheduledStepId;
    QString studyInstanceUid;
    QString patientId, issuerOfPatientId;  // the worklist's
    QString patientName;                   // DICOM form, Family^Given^Middle
    QString patientSex;                    // "M", "F", "O"
    QString patientBirthDate;              // YYYYMMDD
};

// The table as start-up makes it when a database has none (the same statement for both engines).
inline constexpr char kPatientOrderTable[] = "PatientOrder";
QStringList PatientOrderColumns();
QString PatientOrderCreateStatement();

struct OrderLookup {
    bool queryFailed = false;
    std::optional<PatientOrder> order;  // empty and not failed: the patient has no order
};
OrderLookup FindPatientOrder(int32_t patientId);

// Makes `order` the patient's (none when null), replacing what an earlier patient of that ID
// had. Runs within the caller's transaction on AppDatabase.
bool ReplacePatientOrder(int32_t patientId, const PatientOrder* order);
