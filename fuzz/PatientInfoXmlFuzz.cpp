// Fuzzes the reader of an import folder's PatientInfo.xml. Whatever it accepts must be within the
// patient table's limits and must come back unchanged through the writer.
#include <cstdint>
#include <cstdlib>

#include "history/PatientInfoXml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::optional<PatientRecord> row = ReadPatientInfoXml(bytes);
    if (!row)
        return 0;
    if (EntryByteLength(row->Name) > kNameEntryLimit || EntryByteLength(row->Other) > kOtherEntryLimit ||
        EntryByteLength(row->ClinicalNo) > kClinicalNoEntryLimit ||
        row->Age < 0 || row->Age > 3000 || row->Height < 0 || row->Height > 3000 ||
        row->Weight < 0 || row->Weight > 2000 || row->Blood < 0 || row->Blood > 3 ||
        row->Sex < 0 || row->Sex > 1)
        abort();
    std::optional<QByteArray> again = WritePatientInfoXml(*row);
    if (!again)
        abort();
    std::optional<PatientRecord> back = ReadPatientInfoXml(*again);
    if (!back || back->Name != row->Name || back->Other != row->Other ||
        back->ClinicalNo != row->ClinicalNo || back->Age != row->Age ||
        back->Height != row->Height || back->Weight != row->Weight || back->Blood != row->Blood ||
        back->Sex != row->Sex)
        abort();
    return 0;
}
