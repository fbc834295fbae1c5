#include "dicom/PacsSender.h"

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
    ~StoreSession()
    {
        if (assoc_)
            ASC_destroyAssociation(&assoc_);
        if (net_)
            ASC_dropNetwork(&net_);
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
                ASC_abortAssociation(assoc_);
                return outcomes_;
            }
        }
        // The answers are in: a failed release changes none of them.
        if (ASC_releaseAssociation(assoc_).bad())
            ASC_abortAssociation(assoc_);
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
        const int timeout = pacs_.timeoutSeconds;
        dcmConnectionTimeout.set(timeout);
        dcmSocketSendTimeout.set(timeout);
        dcmSocketReceiveTimeout.set(timeout);
        OFCondition c = ASC_initializeNetwork(NET_REQUESTOR, 0, timeout, &net_);
        T_ASC_Parameters* params = nullptr;
        if (c.good())
            c = ASC_createAssociationParameters(&params, ASC_DEFAULTMAXPDU);
        if (c.bad()) {
            FailAll(pending, SendStatus::Unreachable, c.text());
            return false;
        }
        ASC_setAPTitles(params, pacs_.callingAeTitle.c_str(), pacs_.calledAeTitle.c_str(), nullptr);
        const std::string peer = pacs_.host + ":" + std::to_string(pacs_.port);
        ASC_setPresentationAddresses(params, OFStandard::getHostName().c_str(), peer.c_str());
        const char* syntaxes[] = {UID_LittleEndianExplicitTransferSyntax,
                                  UID_LittleEndianImplicitTransferSyntax};
        const char* classes[] = {UID_GeneralECGWaveformStorage, UID_EncapsulatedPDFStorage};
        T_ASC_PresentationContextID id = 1;
        for (const char* sopClass : classes) {
            ASC_addPresentationContext(params, id, sopClass, syntaxes, 2);
            id += 2;
        }
        // The association keeps the parameters and frees them with itself, even when refused.
        c = ASC_requestAssociation(net_, params, &assoc_, nullptr, nullptr, DUL_NOBLOCK, timeout);
        if (c == DUL_ASSOCIATIONREJECTED) {
            T_ASC_RejectParameters reject;
            OFString why;
            ASC_getRejectParameters(params, &reject);
            std::string text = ASC_printRejectParameters(why, &reject).c_str();
            for (char& c : text)
                if (c == '\n')
                    c = ' ';
            FailAll(pending, SendStatus::Refused, text);
            return false;
        }
        if (c.bad()) {
            FailAll(pending, SendStatus::Unreachable, c.text());
            return false;
        }
        return true;
    }

    // False when the association can carry no further request.
    bool Store(size_t i)
    {
        ObjectOutcome& outcome = outcomes_[i];
        DcmDataset* ds = objects_[i].file->getDataset();
        const T_ASC_PresentationContextID id =
            ASC_findAcceptedPresentationContextID(assoc_, SopClassOf(objects_[i]));
        if (id == 0) {
            outcome.status = SendStatus::NotAccepted;
            return true;
        }
        T_DIMSE_C_StoreRQ request{};
        request.MessageID = assoc_->nextMsgID++;
        OFStandard::strlcpy(request.AffectedSOPClassUID, SopClassOf(objects_[i]),
                            sizeof request.AffectedSOPClassUID);
        OFStandard::strlcpy(request.AffectedSOPInstanceUID, Text(*ds, DCM_SOPInstanceUID).c_str(),
                            sizeof request.AffectedSOPInstanceUID);
        request.DataSetType = DIMSE_DATASET_PRESENT;
        request.Priority = DIMSE_PRIORITY_MEDIUM;
        T_DIMSE_C_StoreRSP response{};
        DcmDataset* detail = nullptr;
        const OFCondition c = DIMSE_storeUser(assoc_, id, &request, nullptr, ds, nullptr, nullptr,
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
    T_ASC_Network* net_ = nullptr;
    T_ASC_Association* assoc_ = nullptr;
};

}  // namespace

std::vector<ObjectOutcome> SendDicomObjects(const PacsSettings& pacs,
                                            const std::vector<DicomObject>& objects)
{
    return StoreSession(pacs, objects).Run();
}
