#pragma once
// PatientInfo.xml, the patient row of an export folder, in the XML persistence layout of
// recordsets: a schema section that names each column with its type, then a data section with one
// row element carrying each value as an attribute named after its column (a NULL value has no
// attribute). Qt Core only, so the reader runs without an application object.
#include <QByteArray>
#include <QString>
#include <optional>

#include "db/PatientRecord.h"

// The namespaces of the layout; readers on other workstations look elements up by these, so they
// never change. The row namespace points at the schema's id.
inline constexpr char kSchemaNamespace[] = "urn:corvida:rowset:schema";
inline constexpr char kDataTypeNamespace[] = "urn:corvida:rowset:datatypes";
inline constexpr char kRowsetNamespace[] = "urn:corvida:rowset";
inline constexpr char kRowNamespace[] = "#RowsetSchema";

// A genuine file is a few kilobytes; anything far larger is not one and is refused before parsing.
inline constexpr qsizetype kMaxPatientInfoBytes = 1 << 20;

// The row with all eleven columns of the patient table. Empty when a text holds a character XML
// cannot carry (control characters other than tab, CR and LF), so nothing unreadable is written.
std::optional<QByteArray> WritePatientInfoXml(const PatientRecord& row);

// The facts an import uses (Name, Age, Other, Height, Weight, Blood, Sex, ClinicalNo) from the first
// row. The file is untrusted: it must be well-formed, carry no DTD, declare each of these columns
// (names matched without regard to case) with a fitting type, and every value must be of that type
// and within the limits of the patient table (text
// lengths counted as the entry boxes count them, a Chinese character as two); otherwise the result is empty. A declared column
// without a value is NULL: empty text or 0. PatientID, NewDate and Isdel are left at their defaults.
std::optional<PatientRecord> ReadPatientInfoXml(const QByteArray& data);
