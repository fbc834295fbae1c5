#include "record/LeadTurns.h"

#include "device/DevicePacket.h"

bool LeadTurns::Follows(uint8_t leadIndex)
{
    if (broken_)
        return false;
    if (kept_ > 0) {
        const bool turnEnds = kept_ % kPacketsPerLead == 0;
        const uint8_t expected = turnEnds ? static_cast<uint8_t>((lead_ + 1) % kRecordLeads) : lead_;
        if (leadIndex != expected) {
            broken_ = true;
            return false;
        }
    }
    lead_ = leadIndex;
    ++kept_;
    return true;
}
