#include "dicom/WorklistQuery.h"

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dctk.h"
#include "dcmtk/dcmnet/dimse.h"
#include "dcmtk/dcmnet/diutil.h"

#include <algorithm>
#include <cstdio>

#include "dicom/DicomAssociation.h"

namespace {

std::string DateText(std::tm day, int offsetDays)
{
    day.tm_mday += offsetDays;
    day.tm_hour = 12;  // clear of any daylight-saving shift
    day.tm_isdst = -1;
    std::mktime(&day);
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", day.tm_year + 1900, day.tm_mon + 1, day.tm_mday);
    return text;
}

// The keys of the query: what is matched carries its value, what is to be returned is empty.
void PutQuery(DcmDataset& query, const WorklistSettings& settings, const std::tm& today)
{
    for (const DcmTagKey& tag :
         {DCM_SpecificCharacterSet, DCM_PatientName, DCM_PatientID, DCM_IssuerOfPatientID,
          DCM_PatientBirthDate, DCM_PatientSex, DCM_AccessionNumber, DCM_RequestedProcedureID,
          DCM_RequestedProcedureDescription, DCM_StudyInstanceUID})
        query.insertEmptyElement(tag);
    DcmItem* step = nullptr;
    query.findOrCreateSequenceItem(DCM_ScheduledProcedureStepSequence, step, -2);
    step->putAndInsertString(DCM_ScheduledStationAETitle, settings.stationAeTitle.c_str());
    const std::string from = DateText(today, -settings.daysBefore);
    const std::string to = DateText(today, settings.daysAfter);
    step->putAndInsertString(DCM_ScheduledProcedureStepStartDate,
                             (from == to ? from : from + "-" + to).c_str());
    step->insertEmptyElement(DCM_ScheduledProcedureStepStartTime);
    step->putAndInsertString(DCM_Modality, settings.modality.c_str());
    step->insertEmptyElement(DCM_ScheduledProcedureStepID);
}

std::string Text(DcmItem& item, const DcmTagKey& tag)
{
    OFString value;
    item.findAndGetOFStringArray(tag, value);
    return value.c_str();
}

// Takes each pending answer in: its texts turned into UTF-8, then read.
void OnAnswer(void* data, T_DIMSE_C_FindRQ*, int, T_DIMSE_C_FindRSP*, DcmDataset* answer)
{
    WorklistAnswer& result = *static_cast<WorklistAnswer*>(data);
    if (!answer || answer->convertToUTF8().bad()) {
        ++result.unreadable;
        return;
    }
    WorklistEntry e;
    e.patientName = Text(*answer, DCM_PatientName);
    e.patientId = Text(*answer, DCM_PatientID);
    e.issuerOfPatientId = Text(*answer, DCM_IssuerOfPatientID);
    e.patientSex = Text(*answer, DCM_PatientSex);
    e.patientBirthDate = Text(*answer, DCM_PatientBirthDate);
    e.accessionNumber = Text(*answer, DCM_AccessionNumber);
    e.requestedProcedureId = Text(*answer, DCM_RequestedProcedureID);
    e.requestedProcedureDescription = Text(*answer, DCM_RequestedProcedureDescription);
    e.studyInstanceUid = Text(*answer, DCM_StudyInstanceUID);
    DcmItem* step = nullptr;
    if (answer->findAndGetSequenceItem(DCM_ScheduledProcedureStepSequence, step, 0).good()) {
        e.scheduledStepId = Text(*step, DCM_ScheduledProcedureStepID);
        e.scheduledDate = Text(*step, DCM_ScheduledProcedureStepStartDate);
        e.scheduledTime = Text(*step, DCM_ScheduledProcedureStepStartTime);
    }
    result.entries.push_back(std::move(e));
}

WorklistStatus StatusOf(AssociationResult result)
{
    switch (result) {
    case AssociationResult::Up: return WorklistStatus::Found;
    case AssociationResult::Unreachable: return WorklistStatus::Unreachable;
    case AssociationResult::TimedOut: return WorklistStatus::TimedOut;
    case AssociationResult::Refused: return WorklistStatus::Refused;
    case AssociationResult::Broken: break;
    }
    return WorklistStatus::Broken;
}

}  // namespace

WorklistAnswer QueryWorklist(const WorklistSettings& settings, const std::tm& today)
{
    WorklistAnswer answer;
    DicomAssociation association;
    const char* model = UID_FINDModalityWorklistInformationModel;
    answer.status = StatusOf(association.Open(settings, {model}, answer.detail));
    if (answer.status != WorklistStatus::Found)
        return answer;
    const T_ASC_PresentationContextID context = association.AcceptedContext(model);
    if (context == 0) {
        answer.status = WorklistStatus::NotOffered;
        answer.detail = "no presentation context for the modality worklist was accepted";
        association.Release();
        return answer;
    }
    DcmDataset query;
    PutQuery(query, settings, today);
    T_DIMSE_C_FindRQ request{};
    request.MessageID = association.Get()->nextMsgID++;
    OFStandard::strlcpy(request.AffectedSOPClassUID, model, sizeof request.AffectedSOPClassUID);
    request.DataSetType = DIMSE_DATASET_PRESENT;
    request.Priority = DIMSE_PRIORITY_MEDIUM;
    T_DIMSE_C_FindRSP response{};
    DcmDataset* detail = nullptr;
    int count = 0;
    const OFCondition c =
        DIMSE_findUser(association.Get(), context, &request, &query, count, OnAnswer, &answer,
                       DIMSE_NONBLOCKING, settings.timeoutSeconds, &response, &detail);
    if (c.bad()) {
        answer.status = c == DIMSE_NODATAAVAILABLE ? WorklistStatus::TimedOut : WorklistStatus::Broken;
        answer.detail = c.text();
        answer.entries.clear();
        delete detail;
        association.Abort();
        return answer;
    }
    if (response.DimseStatus != STATUS_Success) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%04X", response.DimseStatus);
        answer.status = WorklistStatus::Failed;
        answer.detail = std::string(code) + " " + DU_cfindStatusString(response.DimseStatus);
        if (detail && !Text(*detail, DCM_ErrorComment).empty())
            answer.detail += ": " + Text(*detail, DCM_ErrorComment);
        answer.entries.clear();
    }
    delete detail;
    association.Release();
    std::stable_sort(answer.entries.begin(), answer.entries.end(),
                     [](const WorklistEntry& a, const WorklistEntry& b) {
                         if (a.scheduledDate.empty() != b.scheduledDate.empty())
                             return b.scheduledDate.empty();
                         return a.scheduledDate + a.scheduledTime < b.scheduledDate + b.scheduledTime;
                     });
    return answer;
}

std::string ReadableName(const std::string& personName)
{
    size_t start = 0;
    while (start <= personName.size()) {
        size_t end = personName.find('=', start);
        if (end == std::string::npos)
            end = personName.size();
        std::string readable;
        size_t part = start;
        for (int component = 0; component < 3 && part <= end; ++component) {
            size_t next = personName.find('^', part);
            if (next == std::string::npos || next > end)
                next = end;
            std::string word = personName.substr(part, next - part);
            word.erase(0, word.find_first_not_of(' '));
            word.erase(word.find_last_not_of(' ') + 1);
            if (!word.empty())
                readable += (readable.empty() ? "" : " ") + word;
            part = next + 1;
        }
        if (!readable.empty())
            return readable;
        start = end + 1;
    }
    return {};
}

std::tm LocalToday()
{
    const std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    return today;
}

int AgeOn(const std::string& birthDate, const std::tm& day)
{
    if (birthDate.size() != 8 || birthDate.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const int year = std::stoi(birthDate.substr(0, 4));
    const int month = std::stoi(birthDate.substr(4, 2));
    const int date = std::stoi(birthDate.substr(6, 2));
    if (month < 1 || month > 12 || date < 1 || date > 31)
        return -1;
    int age = day.tm_year + 1900 - year;
    if (day.tm_mon + 1 < month || (day.tm_mon + 1 == month && day.tm_mday < date))
        --age;
    return age < 0 ? -1 : age;
}
