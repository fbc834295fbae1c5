#include "dicom/DicomObjects.h"

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dctk.h"

#include <algorithm>
#include <array>
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

// A measured value with the decimals of its measurement (printed from the float an axis is kept
// in, "%g" would show its binary noise: 48.29999924); an exact one (a sensitivity of 6.25) with
// the digits it has.
std::string DecimalText(double value, int decimals = -1)
{
    char text[32];
    if (decimals < 0)
        std::snprintf(text, sizeof text, "%.10g", value);
    else
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The longest value in bytes of the text VRs whose values vary (dates, times, ages and counts are
// made here in their fixed forms). Readers count bytes, so a name in Chinese holds a third of the
// characters.
size_t MaxValueBytes(DcmEVR vr)
{
    switch (vr) {
    case EVR_CS: case EVR_DS: case EVR_SH: return 16;
    case EVR_LO: case EVR_PN: case EVR_UI: return 64;
    case EVR_ST: return 1024;
    default: return std::string::npos;
    }
}

// Cuts text to at most max bytes without splitting a UTF-8 character.
void CutToBytes(std::string& text, size_t max)
{
    if (text.size() <= max)
        return;
    while (max > 0 && (static_cast<unsigned char>(text[max]) & 0xC0) == 0x80)
        --max;  // a continuation byte: its character starts before it
    text.resize(max);
}

// One value made valid for its VR, whatever a user typed, a worklist sent or a language file
// holds: a control character becomes a space, so does the value separator \ where the VR has one
// (a clinical number "12\34" would be two IDs), and a value too long is cut; a name, each of its
// component groups (alphabetic=ideographic=phonetic) on its own.
std::string FitValue(DcmEVR vr, std::string value)
{
    const bool text = vr == EVR_ST || vr == EVR_LT || vr == EVR_UT;
    for (char& c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || (c == '\\' && !text))
            c = ' ';
    if (vr != EVR_PN) {
        CutToBytes(value, MaxValueBytes(vr));
        return value;
    }
    std::string fitted;
    for (size_t start = 0, end; start <= value.size(); start = end + 1) {
        end = std::min(value.find('=', start), value.size());
        std::string group = value.substr(start, end - start);
        CutToBytes(group, MaxValueBytes(vr));
        fitted += (start ? "=" : "") + group;
    }
    return fitted;
}

// Every text element is written through here, each value fitted alike; values are joined with \.
void PutValues(DcmItem& item, const DcmTagKey& tag, const std::vector<std::string>& values)
{
    const DcmEVR vr = DcmTag(tag).getEVR();
    std::string joined;
    for (size_t i = 0; i < values.size(); ++i)
        joined += (i ? "\\" : "") + FitValue(vr, values[i]);
    item.putAndInsertString(tag, joined.c_str());
}

void PutValue(DcmItem& item, const DcmTagKey& tag, const std::string& value)
{
    PutValues(item, tag, {value});
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

// A person name holds its components apart with ^ and its groups with =; a name typed in the
// patient dialog is not split into parts, so it becomes the family-name component whole, those
// characters blanked, cut to leave room for the ^ that closes it (without any ^ it would read
// as the retired free-text form).
std::string PersonName(const std::string& name)
{
    std::string family = FitValue(EVR_PN, name);
    for (char& c : family)
        if (c == '^' || c == '=')
            c = ' ';
    CutToBytes(family, MaxValueBytes(EVR_PN) - 1);
    while (!family.empty() && family.back() == ' ')
        family.pop_back();
    return family.empty() ? family : family + "^";
}

void PutCode(DcmItem& item, const DcmTagKey& sequence, const char* value, const char* scheme,
             const char* meaning, const char* version = nullptr)
{
    DcmItem* code = nullptr;
    item.findOrCreateSequenceItem(sequence, code, -2);
    PutValue(*code, DCM_CodeValue, value);
    PutValue(*code, DCM_CodingSchemeDesignator, scheme);
    if (version)
        PutValue(*code, DCM_CodingSchemeVersion, version);
    PutValue(*code, DCM_CodeMeaning, meaning);
}

// The order the series was made for, so the order system can match it.
void PutRequest(DcmDataset& ds, const DicomOrder& order)
{
    DcmItem* request = nullptr;
    ds.findOrCreateSequenceItem(DCM_RequestAttributesSequence, request, -2);
    PutValue(*request, DCM_RequestedProcedureID, order.requestedProcedureId);
    PutValue(*request, DCM_AccessionNumber, order.accessionNumber);
    if (!order.studyInstanceUid.empty())
        PutValue(*request, DCM_StudyInstanceUID, order.studyInstanceUid);
    if (!order.requestedProcedureDescription.empty())
        PutValue(*request, DCM_RequestedProcedureDescription, order.requestedProcedureDescription);
    PutValue(*request, DCM_ScheduledProcedureStepID, order.scheduledStepId);
}

// SOP common, patient, study, series and equipment: alike in both objects.
void PutCommon(DcmDataset& ds, const char* sopClass, const std::string& instance,
               const char* modality, const std::string& series, int seriesNumber,
               const DicomRecord& record, const DicomPatient& patient, const RecordUids& uids)
{
    PutValue(ds, DCM_SpecificCharacterSet, "ISO_IR 192");  // names may be Chinese
    PutValue(ds, DCM_SOPClassUID, sopClass);
    PutValue(ds, DCM_SOPInstanceUID, instance);
    // A worklist's name goes back as it came, components and all.
    PutValue(ds, DCM_PatientName, patient.personName.empty() ? PersonName(patient.name) : patient.personName);
    PutValue(ds, DCM_PatientID, patient.id);
    if (!patient.issuerOfPatientId.empty())
        PutValue(ds, DCM_IssuerOfPatientID, patient.issuerOfPatientId);
    PutValue(ds, DCM_PatientBirthDate, patient.birthDate);
    PutValue(ds, DCM_PatientSex, patient.sex ? std::string(1, patient.sex) : "");
    if (patient.age >= 0 && patient.age <= 999) {
        char age[8];
        std::snprintf(age, sizeof age, "%03dY", patient.age);
        PutValue(ds, DCM_PatientAge, age);
    }
    PutValue(ds, DCM_StudyInstanceUID, uids.study);
    PutValue(ds, DCM_StudyDate, DateText(record.start));
    PutValue(ds, DCM_StudyTime, TimeText(record.start));
    PutValue(ds, DCM_ReferringPhysicianName, "");
    // The record's start to the minute names the study, as the record's own name does.
    PutValue(ds, DCM_StudyID, (DateText(record.start) + TimeText(record.start)).substr(0, 12));
    PutValue(ds, DCM_AccessionNumber, patient.order ? patient.order->accessionNumber : "");
    PutValue(ds, DCM_StudyDescription, "ECG");
    PutValue(ds, DCM_Modality, modality);
    PutValue(ds, DCM_SeriesInstanceUID, series);
    PutValue(ds, DCM_SeriesNumber, std::to_string(seriesNumber));
    if (patient.order)
        PutRequest(ds, *patient.order);
    PutValue(ds, DCM_Manufacturer, kManufacturer);
    PutValue(ds, DCM_ManufacturerModelName, kManufacturer);
    PutValue(ds, DCM_SoftwareVersions, CORVIDA_VERSION);
    PutValue(ds, DCM_InstanceNumber, std::to_string(record.readingVersion + 1));
    PutValue(ds, DCM_ContentDate, DateText(record.start));
    PutValue(ds, DCM_ContentTime, TimeText(record.start));
    PutValue(ds, DCM_AcquisitionDateTime, DateText(record.start) + TimeText(record.start));
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
    PutValue(*ch, DCM_ChannelLabel, kLeadNames[lead]);
    PutCode(*ch, DCM_ChannelSourceSequence, kLeadCodes[lead].value, "SCPECG",
            kLeadCodes[lead].meaning, "1.3");
    std::vector<std::string> status;
    const double sensitivity = SensitivityMicrovolts(state.first.gainCode);
    if (sensitivity > 0) {
        PutValue(*ch, DCM_ChannelSensitivity, DecimalText(sensitivity));
        PutCode(*ch, DCM_ChannelSensitivityUnitsSequence, "uV", "UCUM", "microvolt");
        PutValue(*ch, DCM_ChannelSensitivityCorrectionFactor, "1");
        // The samples are stored with the zero line taken off: a reader that ignores the
        // baseline still gets the right microvolts.
        PutValue(*ch, DCM_ChannelBaseline, "0");
    } else {
        status.push_back("UNCALIBRATED");
    }
    if (state.demo)
        status.push_back("TEST DATA");
    if (state.changed || state.overflow)
        status.push_back("QUESTIONABLE");
    if (status.empty())
        status.push_back("OK");
    PutValues(*ch, DCM_ChannelStatus, status);
    PutValue(*ch, DCM_ChannelTimeSkew, "0");
    ch->putAndInsertUint16(DCM_WaveformBitsStored, 16);
    // What the "+" of "50Hz+" and "60Hz+" adds is not known, so only their notch is stated.
    const FilterSetting& filter = kFilterSettings[state.first.filterCode];
    if (filter.lowPassHz > 0)
        PutValue(*ch, DCM_FilterHighFrequency, std::to_string(filter.lowPassHz));
    if (filter.notchHz > 0)
        PutValue(*ch, DCM_NotchFilterFrequency, std::to_string(filter.notchHz));
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
        PutValue(NewAnnotation(ds), DCM_UnformattedTextValue, text);
}

void PutNumber(DcmDataset& ds, const char* code, const char* meaning, double value, int decimals,
               const char* unit, const char* unitMeaning)
{
    if (value == 0)  // not measured
        return;
    DcmItem& a = NewAnnotation(ds);
    PutCode(a, DCM_ConceptNameCodeSequence, code, "MDC", meaning);
    PutValue(a, DCM_NumericValue, DecimalText(value, decimals));
    PutCode(a, DCM_MeasurementUnitsCodeSequence, unit, "UCUM", unitMeaning);
}

void PutAnalysis(DcmDataset& ds, const DicomRecord& record, const LanguageTable& language)
{
    // A table without the key still marks the group, in English. A confirmed reading's group
    // says who confirmed it and when.
    const std::string unconfirmed = language.Translate("Unconfirmed machine interpretation");
    PutText(ds, !record.confirmation.empty() ? record.confirmation
                : unconfirmed.empty()        ? "Unconfirmed machine interpretation"
                                             : unconfirmed);
    const MeasurementSet& m = record.measurements;
    const std::array<std::string, 9> values = MeasurementValueTexts(m, record.rv5, record.sv1, record.corrected);
    for (size_t row = 0; row < values.size(); ++row) {
        std::string name = kMeasurementLabels[row].name;
        if (!name.empty() && name.back() == ' ')
            name.pop_back();
        PutText(ds, name + " " + kMeasurementLabels[row].unit + " " + values[row]);
    }
    const char* ms = "ms";
    PutNumber(ds, "2:16016", "Ventricular Heart Rate", m.heartRate, 0, "{H.B.}/min",
              "heart beats per minute");
    PutNumber(ds, "2:16184", "P duration global", m.pDuration, 0, ms, "millisecond");
    PutNumber(ds, "2:15872", "PR interval global", m.pr, 0, ms, "millisecond");
    PutNumber(ds, "2:16156", "QRS duration global", m.qrs, 0, ms, "millisecond");
    PutNumber(ds, "2:16160", "QT interval global", m.qt, 0, ms, "millisecond");
    PutNumber(ds, "2:15876", "QTc interval global", m.qtc, 0, ms, "millisecond");
    // Axes are kept in tenths of a degree; they read as the text above shows them.
    PutNumber(ds, "2:16128", "P axis", m.pAxis / 10.0, 1, "deg", "degree");
    PutNumber(ds, "2:16132", "QRS axis", m.qrsAxis / 10.0, 1, "deg", "degree");
    PutNumber(ds, "2:16136", "T axis", m.tAxis / 10.0, 1, "deg", "degree");
    for (int line = 9; line >= record.firstLine; --line)  // filled from the last line upward
        PutText(ds, record.conclusion.line[line]);
}

}  // namespace

bool IsWritablePatientId(const std::string& id)
{
    return FitValue(DcmTag(DCM_PatientID).getEVR(), id) == id;
}

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
    PutValue(*group, DCM_WaveformOriginality, "ORIGINAL");
    group->putAndInsertUint16(DCM_NumberOfWaveformChannels, static_cast<Uint16>(channels));
    group->putAndInsertUint32(DCM_NumberOfWaveformSamples,
                              static_cast<Uint32>(record.packets.size()));
    PutValue(*group, DCM_SamplingFrequency, std::to_string(kPacketsPerSecond));
    PutValue(*group, DCM_MultiplexGroupLabel, "LEADS IN TURN");
    for (int lead = 0; lead < kLeadCount; ++lead)
        if (leads[lead].present)
            PutChannel(*group, lead, leads[lead]);
    group->putAndInsertUint16(DCM_WaveformBitsAllocated, 16);
    PutValue(*group, DCM_WaveformSampleInterpretation, "SS");
    const Uint16 padding = static_cast<Uint16>(kWaveformPadding);
    group->putAndInsertUint16Array(DCM_WaveformPaddingValue, &padding, 1);
    std::vector<Uint16> data(record.packets.size() * channels, padding);
    for (size_t k = 0; k < record.packets.size(); ++k) {
        const DevicePacket& p = record.packets[k];
        data[k * channels + column[ExtractFields(p.data()).leadIndex]] =
            static_cast<Uint16>(RecordSample(p, record.sampleOffset) - kBaseline);
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
    PutValue(ds, DCM_ConversionType, "WSD");
    PutValue(ds, DCM_BurnedInAnnotation, "YES");  // the header names the patient
    const std::string title = language.Translate("Corvida ECG Report");
    PutValue(ds, DCM_DocumentTitle, title.empty() ? "Corvida ECG Report" : title);
    ds.insertEmptyElement(DCM_ConceptNameCodeSequence);
    PutValue(ds, DCM_MIMETypeOfEncapsulatedDocument, "application/pdf");
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
