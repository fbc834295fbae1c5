#pragma once
// One row of the Patient table in memory.
#include <QString>
#include <cstdint>

struct PatientRecord {
    int32_t PatientID = 0;
    QString Name;
    int32_t Age = 0;
    int32_t Height = 0;
    int32_t Weight = 0;
    int32_t Blood = 0;  // 0 A, 1 B, 2 AB, 3 O
    int32_t Sex = 0;    // 0 male, any other value female
    QString Other;
    QString ClinicalNo;
    QString NewDate;  // local time, "yyyy-MM-dd HH:mm:ss"; empty when unknown
    int32_t Isdel = 0;
};
