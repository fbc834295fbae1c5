#include "dicom/DicomObjects.h"

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dctk.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "analysis/Measurements.h"
#include "device/RecorderLabels.h"
#include "foundation/LanguageTable.h"

namespace {

// The leads by the SCP-ECG codes, in lead-index order.
struct LeadCode {
    const char* value;
    const char* meaning;
};
constexpr std::array<LeadCode, kLeadCount> kLeadCodes = {{
    {"5.6.3-9-1", "Lead I (Einthoven)"}, {"5.6.3-9-2", "Lead II"}, {"5.6.3-9-61", "Lead III"},
    {"5.6.3-9-62", "Lead aVR"}, {"5.6.3-9-63", "Lead aVL"}, {"5.6.3-9-64", "Lead aVF"},
    {"5.6.3-9-3", "Lead V1"}, {"5.6.3-9-4", "Lead V2"}, {"5.6.3-9-5", "Lead V3"},
    {"5.6.3-9-6", "Lead V4"}, {"5.6.3-9-7", "Lead V5"}, {"5.6.3-9-8", "Lead V6"},
}};

std::string DecimalText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string DateText(const std::tm& t)
{
    char text[40];
    std::snprintf(text, sizeof text, "%04d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    return text;
}

std::string TimeText(const std::tm& t)
{
    char text[40];
    std::snprintf(text, sizeof text, "%02d%02d%02d", t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

// A person name holds its components apart with ^ and = and its values with \; a name typed in
// the patient dialog is not split into parts, so it becomes the family-name component whole,
// those characters blanked. Without any ^ it would read as the retired free-text form.
std::string PersonName(std::string name)
{
    if (name.empty())
        return name;
    for (char& c : name)
        if (c == '^' || c == '=' || c == '\\')
            c = ' ';
    return name + "^";
}

void PutCode(DcmItem& item, const DcmTagKey& sequence, const char* value, const char* scheme,
             const char* meaning, const char* version = nullptr)
{
    DcmItem* code = nullptr;
    item.findOrCreateSequenceItem(sequence, code, -2);
    code->putAndInsertString(DCM_CodeValue, value);
    code->putAndInsertString(DCM_CodingSchemeDesignator, scheme);
    if (version)
        code->putAndInsertString(DCM_CodingSchemeVersion, version);
    code->putAndInsertString(DCM_CodeMeaning, meaning);
}

// The order the series was made for, so the order system can match it.
void PutRequest(DcmDataset& ds, const DicomOrder& order)
{
    DcmItem* request = nullptr;
    ds.findOrCreateSequenceItem(DCM_RequestAttributesSequence, request, -2);
    request->putAndInsertString(DCM_RequestedProcedureID, order.requestedProcedureId.c_str());
    request->putAndInsertString(DCM_AccessionNumber, order.accessionNumber.c_str());
    if (!order.studyInstanceUid.empty())
        request->putAndInsertString(DCM_StudyInstanceUID, order.studyInstanceUid.c_str());
    if (!order.requestedProcedureDescription.empty())
        request->putAndInsertString(DCM_RequestedProcedureDescription,
                                    order.requestedProcedureDescription.c_str());
    request->putAndInsertString(DCM_ScheduledProcedureStepID, order.scheduledStepId.c_str());
}

// SOP common, patient, study, series and equipment: alike in both objects.
void PutCommon(DcmDataset& ds, const char* sopClass, const std::string& instance,
               const char* modality, const std::string& series, int seriesNumber,
               const DicomRecord& record, const DicomPatient& patient, const RecordUids& uids)
{
    ds.putAndInsertString(DCM_SpecificCharacterSet, "ISO_IR 192");  // names may be Chinese
    ds.putAndInsertString(DCM_SOPClassUID, sopClass);
    ds.putAndInsertString(DCM_SOPInstanceUID, instance.c_str());
    // A worklist's name goes back exactly as it came, components and all.
    ds.putAndInsertString(DCM_PatientName, (patient.personName.empty() ? PersonName(patient.name)
                                                                       : patient.personName).c_str());
    ds.putAndInsertString(DCM_PatientID, patient.id.c_str());
    if (!patient.issuerOfPatientId.empty())
        ds.putAndInsertString(DCM_IssuerOfPatientID, patient.issuerOfPatientId.c_str());
    ds.putAndInsertString(DCM_PatientBirthDate, patient.birthDate.c_str());
    ds.putAndInsertString(DCM_PatientSex, patient.sex ? std::string(1, patient.sex).c_str() : "");
    if (patient.age >= 0 && patient.age <= 999) {
        char age[8];
        std::snprintf(age, sizeof age, "%03dY", patient.age);
        ds.putAndInsertString(DCM_PatientAge, age);
    }
    ds.putAndInsertString(DCM_StudyInstanceUID, uids.study.c_str());
    ds.putAndInsertString(DCM_StudyDate, DateText(record.start).c_str());
    ds.putAndInsertString(DCM_StudyTime, TimeText(record.start).c_str());
    ds.putAndInsertString(DCM_ReferringPhysicianName, "");
    // The record's start to the minute names the study, as the record's own name does.
    ds.putAndInsertString(DCM_StudyID, (DateText(record.start) + TimeText(record.start)).substr(0, 12).c_str());
    ds.putAndInsertString(DCM_AccessionNumber, patient.order ? patient.order->accessionNumber.c_str() : "");
    ds.putAndInsertString(DCM_StudyDescription, "ECG");
    ds.putAndInsertString(DCM_Modality, modality);
    ds.putAndInsertString(DCM_SeriesInstanceUID, series.c_str());
    ds.putAndInsertString(DCM_SeriesNumber, std::to_string(seriesNumber).c_str());
    if (patient.order)
        PutRequest(ds, *patient.order);
    ds.putAndInsertString(DCM_Manufacturer, kManufacturer);
    ds.putAndInsertString(DCM_ManufacturerModelName, kManufacturer);
    ds.putAndInsertString(DCM_SoftwareVersions, CORVIDA_VERSION);
    ds.putAndInsertString(DCM_InstanceNumber, "1");
    ds.putAndInsertString(DCM_ContentDate, DateText(record.start).c_str());
    ds.putAndInsertString(DCM_ContentTime, TimeText(record.start).c_str());
    ds.putAndInsertString(DCM_AcquisitionDateTime,
                          (DateText(record.start) + TimeText(record.start)).c_str());
}

// What the recorder said about one lead: the state of its first packet, whether that state
// changed within the lead, and whether any sample was out of range or the recorder's own demo
// signal.
struct LeadState {
    bool present = false;
    PacketFields first;
    bool changed = false, overflow = false, demo = false;
};

void PutChannel(DcmItem& group, int lead, const LeadState& state)
{
    DcmItem* ch = nullptr;
    group.findOrCreateSequenceItem(DCM_ChannelDefinitionSequence, ch, -2);
    ch->putAndInsertString(DCM_ChannelLabel, kLeadNames[lead]);
    PutCode(*ch, DCM_ChannelSourceSequence, kLeadCodes[lead].value, "SCPECG",
            kLeadCodes[lead].meaning, "1.3");
    std::string status = "OK";
    const double sensitivity = SensitivityMicrovolts(state.first.gainCode);
    if (sensitivity > 0) {
        ch->putAndInsertString(DCM_ChannelSensitivity, DecimalText(sensitivity).c_str());
        PutCode(*ch, DCM_ChannelSensitivityUnitsSequence, "uV", "UCUM", "microvolt");
        ch->putAndInsertString(DCM_ChannelSensitivityCorrectionFactor, "1");
        // The stored samples are the recorder's own, so sample 0 lies 192 units below zero.
        ch->putAndInsertString(DCM_ChannelBaseline,
                               DecimalText(-kBaseline * sensitivity).c_str());
    } else {
        status = "UNCALIBRATED";
    }
    if (state.demo)
        status += "\\TEST DATA";
    if (state.changed || state.overflow)
        status += "\\QUESTIONABLE";
    if (status.rfind("OK\\", 0) == 0)
        status.erase(0, 3);
    ch->putAndInsertString(DCM_ChannelStatus, status.c_str());
    ch->putAndInsertString(DCM_ChannelTimeSkew, "0");
    ch->putAndInsertUint16(DCM_WaveformBitsStored, 16);
    const FilterSetting& filter = kFilterSettings[state.first.filterCode];
    if (filter.lowPassHz > 0)
        ch->putAndInsertString(DCM_FilterHighFrequency, std::to_string(filter.lowPassHz).c_str());
    if (filter.notchHz > 0)
        ch->putAndInsertString(DCM_NotchFilterFrequency, std::to_string(filter.notchHz).c_str());
}

DcmItem& NewAnnotation(DcmDataset& ds)
{
    DcmItem* a = nullptr;
    ds.findOrCreateSequenceItem(DCM_WaveformAnnotationSequence, a, -2);
    const Uint16 wholeGroup[] = {1, 0};  // every channel of group 1, its whole time
    a->putAndInsertUint16Array(DCM_ReferencedWaveformChannels, wholeGroup, 2);
    a->putAndInsertUint16(DCM_AnnotationGroupNumber, kMachineAnnotationGroup);
    return *a;
}

void PutText(DcmDataset& ds, const std::string& text)
{
    if (!text.empty())
        NewAnnotation(ds).putAndInsertString(DCM_UnformattedTextValue, text.c_str());
}

void PutNumber(DcmDataset& ds, const char* code, const char* meaning, double value,
               const char* unit, const char* unitMeaning)
{
    if (value == 0)  // not measured
        return;
    DcmItem& a = NewAnnotation(ds);
    PutCode(a, DCM_ConceptNameCodeSequence, code, "MDC", meaning);
    a.putAndInsertString(DCM_NumericValue, DecimalText(value).c_str());
    PutCode(a, DCM_MeasurementUnitsCodeSequence, unit, "UCUM", unitMeaning);
}

void PutAnalysis(DcmDataset& ds, const DicomRecord& record, const LanguageTable& language)
{
    // A table without the key still marks the group, in English.
    const std::string unconfirmed = language.Translate("Unconfirmed machine interpretation");
    PutText(ds, unconfirmed.empty() ? "Unconfirmed machine interpretation" : unconfirmed);
    const MeasurementSet& m = record.measurements;
    const std::array<std::string, 9> values = MeasurementValueTexts(m, record.rv5, record.sv1);
    for (size_t row = 0; row < values.size(); ++row) {
        std::string name = kMeasurementLabels[row].name;
        if (!name.empty() && name.back() == ' ')
            name.pop_back();
        PutText(ds, name + " " + kMeasurementLabels[row].unit + " " + values[row]);
    }
    const char* ms = "ms";
    PutNumber(ds, "2:16016", "Ventricular Heart Rate", m.heartRate, "{H.B.}/min",
              "heart beats per minute");
    PutNumber(ds, "2:16184", "P duration global", m.pDuration, ms, "millisecond");
    PutNumber(ds, "2:15872", "PR interval global", m.pr, ms, "millisecond");
    PutNumber(ds, "2:16156", "QRS duration global", m.qrs, ms, "millisecond");
    PutNumber(ds, "2:16160", "QT interval global", m.qt, ms, "millisecond");
    PutNumber(ds, "2:15876", "QTc interval global", m.qtc, ms, "millisecond");
    // Axes are kept in tenths of a degree; the report shows one decimal.
    PutNumber(ds, "2:16128", "P axis", std::round(m.pAxis) / 10, "deg", "degree");
    PutNumber(ds, "2:16132", "QRS axis", std::round(m.qrsAxis) / 10, "deg", "degree");
    PutNumber(ds, "2:16136", "T axis", std::round(m.tAxis) / 10, "deg", "degree");
    for (const std::string& line : record.conclusion)
        PutText(ds, line);
}

}  // namespace

double SensitivityMicrovolts(uint8_t gainCode)
{
    return gainCode <= 2 ? 1000.0 / (40 << gainCode) : 0;
}

DicomObject BuildEcgWaveform(const DicomRecord& record, const DicomPatient& patient,
                             const RecordUids& uids, const LanguageTable& language)
{
    DicomObject object{DicomObjectKind::Waveform, record.path, std::make_shared<DcmFileFormat>()};
    DcmDataset& ds = *object.file->getDataset();
    PutCommon(ds, UID_GeneralECGWaveformStorage, uids.waveformInstance, "ECG",
              uids.waveformSeries, 1, record, patient, uids);

    std::array<LeadState, kLeadCount> leads{};
    for (const DevicePacket& p : record.packets) {
        const PacketFields f = ExtractFields(p.data());
        LeadState& lead = leads[f.leadIndex];
        if (!lead.present) {
            lead.present = true;
            lead.first = f;
        }
        lead.changed |= f.gainCode != lead.first.gainCode || f.filterCode != lead.first.filterCode;
        lead.overflow |= f.rangeFlag != 0;
        lead.demo |= f.modeFlag != 0;
    }
    std::array<int, kLeadCount> column{};
    int channels = 0;
    for (int lead = 0; lead < kLeadCount; ++lead)
        column[lead] = leads[lead].present ? channels++ : -1;

    DcmItem* group = nullptr;
    ds.findOrCreateSequenceItem(DCM_WaveformSequence, group, -2);
    group->putAndInsertString(DCM_WaveformOriginality, "ORIGINAL");
    group->putAndInsertUint16(DCM_NumberOfWaveformChannels, static_cast<Uint16>(channels));
    group->putAndInsertUint32(DCM_NumberOfWaveformSamples,
                              static_cast<Uint32>(record.packets.size()));
    group->putAndInsertString(DCM_SamplingFrequency, std::to_string(kPacketsPerSecond).c_str());
    group->putAndInsertString(DCM_MultiplexGroupLabel, "LEADS IN TURN");
    for (int lead = 0; lead < kLeadCount; ++lead)
        if (leads[lead].present)
            PutChannel(*group, lead, leads[lead]);
    group->putAndInsertUint16(DCM_WaveformBitsAllocated, 16);
    group->putAndInsertString(DCM_WaveformSampleInterpretation, "SS");
    const Uint16 padding = static_cast<Uint16>(kWaveformPadding);
    group->putAndInsertUint16Array(DCM_WaveformPaddingValue, &padding, 1);
    std::vector<Uint16> data(record.packets.size() * channels, padding);
    for (size_t k = 0; k < record.packets.size(); ++k) {
        const DevicePacket& p = record.packets[k];
        data[k * channels + column[ExtractFields(p.data()).leadIndex]] =
            static_cast<Uint16>(RecordSample(p, record.sampleOffset));
    }
    group->putAndInsertUint16Array(DCM_WaveformData, data.data(),
                                   static_cast<unsigned long>(data.size()));

    ds.insertEmptyElement(DCM_AcquisitionContextSequence);
    if (record.analysed)
        PutAnalysis(ds, record, language);
    return object;
}

DicomObject BuildReportDocument(const std::string& pdf, const DicomRecord& record,
                                const DicomPatient& patient, const RecordUids& uids,
                                const LanguageTable& language)
{
    DicomObject object{DicomObjectKind::Report, record.path, std::make_shared<DcmFileFormat>()};
    DcmDataset& ds = *object.file->getDataset();
    PutCommon(ds, UID_EncapsulatedPDFStorage, uids.reportInstance, "DOC", uids.reportSeries, 2,
              record, patient, uids);
    ds.putAndInsertString(DCM_ConversionType, "WSD");
    ds.putAndInsertString(DCM_BurnedInAnnotation, "YES");  // the header names the patient
    const std::string title = language.Translate("Corvida ECG Report");
    ds.putAndInsertString(DCM_DocumentTitle, title.empty() ? "Corvida ECG Report" : title.c_str());
    ds.insertEmptyElement(DCM_ConceptNameCodeSequence);
    ds.putAndInsertString(DCM_MIMETypeOfEncapsulatedDocument, "application/pdf");
    // An element's value has an even length: the document is padded with a NUL, its own length
    // kept beside it.
    std::string padded = pdf;
    if (padded.size() % 2)
        padded.push_back('\0');
    ds.putAndInsertUint8Array(DCM_EncapsulatedDocument,
                              reinterpret_cast<const Uint8*>(padded.data()),
                              static_cast<unsigned long>(padded.size()));
    ds.putAndInsertUint32(DCM_EncapsulatedDocumentLength, static_cast<Uint32>(pdf.size()));
    return object;
}

bool WriteDicomFile(const DicomObject& object, const std::filesystem::path& out, std::string& why)
{
    const OFCondition status =
        object.file->saveFile(out.c_str(), EXS_LittleEndianExplicit);
    if (status.good())
        return true;
    why = status.text();
    return false;
}
