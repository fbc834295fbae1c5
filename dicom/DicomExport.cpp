#include "dicom/DicomExport.h"

#include <algorithm>

#include "foundation/LanguageTable.h"

RecordObjects BuildRecordObjects(const std::filesystem::path& record, const DicomPatient& patient,
                                 const LanguageTable& language, const std::string& uidRoot,
                                 bool waveform, const ReportPdfMaker& makeReport)
{
    RecordObjects made;
    auto fail = [&](SendStatus status, const std::string& detail) {
        if (waveform)
            made.failures.push_back({DicomObjectKind::Waveform, record, status, detail});
        if (makeReport)
            made.failures.push_back({DicomObjectKind::Report, record, status, detail});
    };
    if (!IsValidUidRoot(uidRoot)) {
        fail(SendStatus::NoPacs, "[Dicom] UidRoot is not set");
        return made;
    }
    if (!IsWritablePatientId(patient.id)) {
        fail(SendStatus::PatientIdUnwritable, {});
        return made;
    }
    DicomRecord read;
    switch (ReadDicomRecord(record, language, read)) {
    case AnalysedRead::Unreadable: fail(SendStatus::RecordUnreadable, {}); return made;
    case AnalysedRead::TooShort: fail(SendStatus::RecordTooShort, {}); return made;
    case AnalysedRead::Read: break;
    }
    const RecordUids uids = MakeRecordUids(uidRoot, read, patient, language.CurrentName());
    if (waveform)
        made.objects.push_back(BuildEcgWaveform(read, patient, uids, language));
    if (makeReport) {
        std::string pdf;
        if (makeReport(record, pdf) && !pdf.empty())
            made.objects.push_back(BuildReportDocument(pdf, read, patient, uids, language));
        else
            made.failures.push_back({DicomObjectKind::Report, record, SendStatus::ReportFailed, {}});
    }
    return made;
}

std::vector<ObjectOutcome> SendRecords(const std::vector<std::filesystem::path>& records,
                                       const DicomPatient& patient, const LanguageTable& language,
                                       const DicomSettings& settings,
                                       const ReportPdfMaker& makeReport)
{
    std::vector<ObjectOutcome> outcomes;
    for (const std::filesystem::path& record : records) {
        if (!settings.pacs) {
            for (DicomObjectKind kind : {DicomObjectKind::Waveform, DicomObjectKind::Report})
                outcomes.push_back({kind, record, SendStatus::NoPacs, {}});
            continue;
        }
        RecordObjects made =
            BuildRecordObjects(record, patient, language, settings.uidRoot, true, makeReport);
        std::vector<ObjectOutcome> sent;
        if (!made.objects.empty())
            sent = SendDicomObjects(*settings.pacs, made.objects);
        sent.insert(sent.end(), made.failures.begin(), made.failures.end());
        std::stable_sort(sent.begin(), sent.end(), [](const ObjectOutcome& a, const ObjectOutcome& b) {
            return a.kind < b.kind;
        });
        outcomes.insert(outcomes.end(), sent.begin(), sent.end());
    }
    return outcomes;
}

std::string DescribeOutcome(const ObjectOutcome& outcome, const LanguageTable& language)
{
    std::string what;
    switch (outcome.status) {
    case SendStatus::Sent:
    case SendStatus::SentWithWarning: what = language.Translate("sent to the PACS"); break;
    case SendStatus::Rejected: what = language.Translate("rejected by the PACS"); break;
    case SendStatus::NotAccepted:
        what = language.Translate("not sent: the PACS takes no object of this kind");
        break;
    case SendStatus::Unreachable: what = language.Translate("not sent: the PACS cannot be reached"); break;
    case SendStatus::Refused: what = language.Translate("not sent: the PACS refused the connection"); break;
    case SendStatus::ConnectionLost:
        what = language.Translate("not sent: the connection to the PACS was lost");
        break;
    case SendStatus::NoPatientId:
        what = language.Translate("not sent: the patient has no clinical number");
        break;
    case SendStatus::PatientIdUnwritable:
        what = language.Translate("not made: the clinical number cannot be a DICOM Patient ID "
                                  "(it holds a backslash or a control character, or is over 64 bytes)");
        break;
    case SendStatus::RecordUnreadable: what = language.Translate("file error"); break;
    case SendStatus::RecordTooShort: what = language.Translate("No data!"); break;
    case SendStatus::ReportFailed: what = language.Translate("not sent: the report could not be made"); break;
    case SendStatus::NoPacs: what = language.Translate("not sent: no PACS is set up in Settings.ini"); break;
    }
    const std::string kind = outcome.kind == DicomObjectKind::Waveform
                                 ? language.Translate("ECG waveform")
                                 : language.Translate("ECG report");
    std::string text = kind + " " + outcome.record.filename().string() + ": " + what;
    if (!outcome.detail.empty())
        text += " (" + outcome.detail + ")";
    return text;
}
