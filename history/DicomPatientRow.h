#pragma once
// The DICOM patient facts of a Patient table row, for callers on the Qt side (the tool, the
// History View). Header only, so the DICOM library itself stays free of Qt.
#include "db/PatientRecord.h"
#include "dicom/DicomRecord.h"

inline DicomPatient DicomPatientFromRow(const PatientRecord& row)
{
    DicomPatient patient;
    patient.name = row.Name.trimmed().toStdString();
    patient.id = PatientIdFromClinicalNo(row.ClinicalNo.toStdString());
    patient.sex = row.Sex == 0 ? 'M' : 'F';  // every reader takes a nonzero Sex as female
    patient.age = row.Age;
    patient.reportFacts = QString("%1|%2|%3|%4|%5")
                              .arg(row.Height).arg(row.Weight).arg(row.Blood).arg(row.Other, row.NewDate)
                              .toStdString();
    return patient;
}
