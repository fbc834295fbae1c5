#pragma once
// One row of the Patient table in memory.
#include <QList>
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

// Text limits of the patient facts, as the entry boxes count them: bytes of the local code page,
// one per character below 0x80 and two for any other (a Chinese character takes two).
inline constexpr int kNameEntryLimit = 20;
inline constexpr int kOtherEntryLimit = 200;
inline constexpr int kClinicalNoEntryLimit = 8;

inline qsizetype EntryByteLength(const QString& text)
{
    qsizetype n = 0;
    for (char32_t c : text.toUcs4())
        n += c < 0x80 ? 1 : 2;
    return n;
}
