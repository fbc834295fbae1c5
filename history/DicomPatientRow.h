#pragma once
// The DICOM patient facts of a Patient table row and its order, for callers on the Qt side (the
// tool, the History View). Header only, so the DICOM library itself stays free of Qt.
#include <optional>

#include "db/PatientOrder.h"
#include "db/PatientRecord.h"
#include "dicom/DicomRecord.h"

// Under an order, the patient is named, identified and described as the worklist gave it
// (the row's facts where it gave none), and the record joins the order's study.
inline DicomPatient DicomPatientFromRow(const PatientRecord& row,
                                        const std::optional<PatientOrder>& order = std::nullopt)
{
    DicomPatient patient;
    patient.name = row.Name.trimmed().toStdString();
    patient.id = PatientIdFromClinicalNo(row.ClinicalNo.toStdString());
    patient.sex = row.Sex == 0 ? 'M' : 'F';  // every reader takes a nonzero Sex as female
    patient.age = row.Age;
    patient.reportFacts = QString("%1|%2|%3|%4|%5")
                              .arg(row.Height).arg(row.Weight).arg(row.Blood).arg(row.Other, row.NewDate)
                              .toStdString();
    if (!order)
        return patient;
    patient.personName = order->patientName.toStdString();
    if (!order->patientId.isEmpty())
        patient.id = order->patientId.toStdString();
    patient.issuerOfPatientId = order->issuerOfPatientId.toStdString();
    if (order->patientSex == "M" || order->patientSex == "F" || order->patientSex == "O")
        patient.sex = order->patientSex.front().toLatin1();
    patient.birthDate = order->patientBirthDate.toStdString();
    patient.order = DicomOrder{order->accessionNumber.toStdString(), order->studyInstanceUid.toStdString(),
                               order->requestedProcedureId.toStdString(),
                               order->requestedProcedureDescription.toStdString(),
                               order->scheduledStepId.toStdString()};
    return patient;
}
