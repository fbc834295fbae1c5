#pragma once
// One association with a DICOM peer (a PACS, a worklist) as its requestor: connected and
// negotiated by Open, released or aborted by its owner, dropped with the object. Every wait is
// bounded by the peer's timeout, the connection included.
#include <string>
#include <vector>

#include "dicom/DicomSettings.h"

struct T_ASC_Association;
struct T_ASC_Network;

enum class AssociationResult {
    Up,
    Unreachable,  // no connection: the peer is down or the address is wrong
    TimedOut,     // connected, but no answer came within the timeout
    Refused,      // the peer rejected the association (detail: its reason)
    Broken,       // the peer broke off or answered what is no DICOM
};

class DicomAssociation {
public:
    DicomAssociation() = default;
    ~DicomAssociation();
    DicomAssociation(const DicomAssociation&) = delete;
    DicomAssociation& operator=(const DicomAssociation&) = delete;

    // Connects and proposes each SOP class in explicit and implicit little endian; `detail`
    // says why when the result is not Up.
    AssociationResult Open(const PacsSettings& peer, const std::vector<const char*>& sopClasses,
                           std::string& detail);
    // The presentation context the peer accepted for a SOP class; 0 when none.
    unsigned char AcceptedContext(const char* sopClass) const;
    T_ASC_Association* Get() const { return assoc_; }
    // Ends the association in order; aborts it when that fails.
    void Release();
    // Ends it at once, as after a broken exchange.
    void Abort();

private:
    T_ASC_Network* net_ = nullptr;
    T_ASC_Association* assoc_ = nullptr;
};
