#include "dicom/DicomAssociation.h"

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmnet/assoc.h"
#include "dcmtk/dcmnet/dcmtrans.h"
#include "dcmtk/dcmnet/diutil.h"

DicomAssociation::~DicomAssociation()
{
    if (assoc_)
        ASC_destroyAssociation(&assoc_);
    if (net_)
        ASC_dropNetwork(&net_);
}

AssociationResult DicomAssociation::Open(const PacsSettings& peer,
                                         const std::vector<const char*>& sopClasses,
                                         std::string& detail)
{
    const int timeout = peer.timeoutSeconds;
    // Process-wide in DCMTK: whoever opens an association sets them to its own peer's timeout.
    dcmConnectionTimeout.set(timeout);
    dcmSocketSendTimeout.set(timeout);
    dcmSocketReceiveTimeout.set(timeout);
    OFCondition c = ASC_initializeNetwork(NET_REQUESTOR, 0, timeout, &net_);
    T_ASC_Parameters* params = nullptr;
    if (c.good())
        c = ASC_createAssociationParameters(&params, ASC_DEFAULTMAXPDU);
    if (c.bad()) {
        detail = c.text();
        return AssociationResult::Unreachable;
    }
    ASC_setAPTitles(params, peer.callingAeTitle.c_str(), peer.calledAeTitle.c_str(), nullptr);
    const std::string address = peer.host + ":" + std::to_string(peer.port);
    ASC_setPresentationAddresses(params, OFStandard::getHostName().c_str(), address.c_str());
    const char* syntaxes[] = {UID_LittleEndianExplicitTransferSyntax,
                              UID_LittleEndianImplicitTransferSyntax};
    T_ASC_PresentationContextID id = 1;
    for (const char* sopClass : sopClasses) {
        ASC_addPresentationContext(params, id, sopClass, syntaxes, 2);
        id += 2;
    }
    // The association keeps the parameters and frees them with itself, even when refused.
    c = ASC_requestAssociation(net_, params, &assoc_, nullptr, nullptr, DUL_NOBLOCK, timeout);
    if (c.good())
        return AssociationResult::Up;
    if (c == DUL_ASSOCIATIONREJECTED) {
        T_ASC_RejectParameters reject;
        OFString why;
        ASC_getRejectParameters(params, &reject);
        detail = ASC_printRejectParameters(why, &reject).c_str();
        for (char& ch : detail)
            if (ch == '\n')
                ch = ' ';
        return AssociationResult::Refused;
    }
    detail = c.text();
    if (c == DUL_READTIMEOUT)
        return AssociationResult::TimedOut;
    // No answer at all: nothing listens there (or the name does not resolve).
    if (c.code() == DULC_TCPINITERROR)
        return AssociationResult::Unreachable;
    return AssociationResult::Broken;
}

unsigned char DicomAssociation::AcceptedContext(const char* sopClass) const
{
    return ASC_findAcceptedPresentationContextID(assoc_, sopClass);
}

void DicomAssociation::Release()
{
    if (ASC_releaseAssociation(assoc_).bad())
        ASC_abortAssociation(assoc_);
}

void DicomAssociation::Abort()
{
    ASC_abortAssociation(assoc_);
}
