#include "dicom/PacsSender.h"

#include "dicom/DicomAssociation.h"

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dctk.h"
#include "dcmtk/dcmnet/assoc.h"
#include "dcmtk/dcmnet/dcmtrans.h"
#include "dcmtk/dcmnet/dimse.h"
#include "dcmtk/dcmnet/diutil.h"

#include <cstdio>
#include <cstring>

namespace {

const char* SopClassOf(const DicomObject& object)
{
    return object.kind == DicomObjectKind::Waveform ? UID_GeneralECGWaveformStorage
                                                    : UID_EncapsulatedPDFStorage;
}

std::string Text(DcmDataset& ds, const DcmTagKey& tag)
{
    OFString value;
    ds.findAndGetOFStringArray(tag, value);
    return value.c_str();
}

// "0xA700 Refused: OutOfResources: <the PACS's error comment>". DCMTK names the statuses of
// storing; the warnings every service shares it calls unknown, so they are named here.
std::string StatusText(Uint16 status, DcmDataset* detail)
{
    std::string name = DU_cstoreStatusString(status);
    if (DICOM_WARNING_STATUS(status) && name.rfind("Warning", 0) != 0) {
        switch (status) {
        case 0x0001: name = "Warning: Requested optional attributes are not supported"; break;
        case 0x0107: name = "Warning: Attribute list error"; break;
        case 0x0116: name = "Warning: Attribute value out of range"; break;
        default: name = "Warning"; break;
        }
    }
    char code[8];
    std::snprintf(code, sizeof code, "0x%04X", status);
    std::string text = std::string(code) + " " + name;
    if (detail) {
        const std::string comment = Text(*detail, DCM_ErrorComment);
        if (!comment.empty())
            text += ": " + comment;
    }
    return text;
}

// Owns the network, the association and the outcomes of one transfer.
class StoreSession {
public:
    StoreSession(const PacsSettings& pacs, const std::vector<DicomObject>& objects)
        : pacs_(pacs), objects_(objects)
    {
        for (const DicomObject& o : objects)
            outcomes_.push_back({o.kind, o.record, SendStatus::Unreachable, {}});
    }
    std::vector<ObjectOutcome> Run()
    {
        std::vector<size_t> pending;
        for (size_t i = 0; i < objects_.size(); ++i) {
            if (Text(*objects_[i].file->getDataset(), DCM_PatientID).empty())
                outcomes_[i].status = SendStatus::NoPatientId;
            else
                pending.push_back(i);
        }
        if (pending.empty() || !Associate(pending))
            return outcomes_;
        for (size_t n = 0; n < pending.size(); ++n) {
            if (!Store(pending[n])) {
                // A broken association sends nothing more; what followed was never tried.
                for (size_t rest = n + 1; rest < pending.size(); ++rest)
                    outcomes_[pending[rest]].status = SendStatus::ConnectionLost;
                association_.Abort();
                return outcomes_;
            }
        }
        // The answers are in: a failed release changes none of them.
        association_.Release();
        return outcomes_;
    }

private:
    void FailAll(const std::vector<size_t>& pending, SendStatus status, const std::string& detail)
    {
        for (size_t i : pending)
            outcomes_[i] = {objects_[i].kind, objects_[i].record, status, detail};
    }

    bool Associate(const std::vector<size_t>& pending)
    {
        std::string detail;
        switch (association_.Open(pacs_, {UID_GeneralECGWaveformStorage, UID_EncapsulatedPDFStorage},
                                  detail)) {
        case AssociationResult::Up: return true;
        case AssociationResult::Refused: FailAll(pending, SendStatus::Refused, detail); return false;
        default: FailAll(pending, SendStatus::Unreachable, detail); return false;
        }
    }

    // False when the association can carry no further request.
    bool Store(size_t i)
    {
        ObjectOutcome& outcome = outcomes_[i];
        DcmDataset* ds = objects_[i].file->getDataset();
        const T_ASC_PresentationContextID id = association_.AcceptedContext(SopClassOf(objects_[i]));
        if (id == 0) {
            outcome.status = SendStatus::NotAccepted;
            return true;
        }
        T_DIMSE_C_StoreRQ request{};
        request.MessageID = association_.Get()->nextMsgID++;
        OFStandard::strlcpy(request.AffectedSOPClassUID, SopClassOf(objects_[i]),
                            sizeof request.AffectedSOPClassUID);
        OFStandard::strlcpy(request.AffectedSOPInstanceUID, Text(*ds, DCM_SOPInstanceUID).c_str(),
                            sizeof request.AffectedSOPInstanceUID);
        request.DataSetType = DIMSE_DATASET_PRESENT;
        request.Priority = DIMSE_PRIORITY_MEDIUM;
        T_DIMSE_C_StoreRSP response{};
        DcmDataset* detail = nullptr;
        const OFCondition c = DIMSE_storeUser(association_.Get(), id, &request, nullptr, ds, nullptr, nullptr,
                                              DIMSE_NONBLOCKING, pacs_.timeoutSeconds, &response,
                                              &detail);
        if (c.bad()) {
            outcome.status = SendStatus::ConnectionLost;
            outcome.detail = c.text();
            delete detail;
            return false;
        }
        const Uint16 status = response.DimseStatus;
        if (status == STATUS_Success)
            outcome.status = SendStatus::Sent;
        else
            outcome.status = DICOM_WARNING_STATUS(status) ? SendStatus::SentWithWarning
                                                          : SendStatus::Rejected;
        if (status != STATUS_Success)
            outcome.detail = StatusText(status, detail);
        delete detail;
        return true;
    }

    const PacsSettings& pacs_;
    const std::vector<DicomObject>& objects_;
    std::vector<ObjectOutcome> outcomes_;
    DicomAssociation association_;
};

}  // namespace

std::vector<ObjectOutcome> SendDicomObjects(const PacsSettings& pacs,
                                            const std::vector<DicomObject>& objects)
{
    return StoreSession(pacs, objects).Run();
}
