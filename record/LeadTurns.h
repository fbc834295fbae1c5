#pragma once
// The lead structure every record must have: each turn of 3200 packets holds one lead, and each
// turn's lead is the one after the lead of the turn before, in the recorder's order (I, II ...
// V6, then I again). A stretch lost or added anywhere breaks it from there on, because every
// later turn would then mix two leads. Checked on the live stream before it is stored and by
// every reader of a record. Plain standard C++.
#include <cstdint>

class LeadTurns {
public:
    // Takes the lead index of the next packet; false from the first packet that breaks the
    // structure on. The first packet may be of any lead.
    bool Follows(uint8_t leadIndex);
    // Packets taken before the break (all of them while unbroken).
    uint64_t Kept() const { return kept_; }

private:
    uint64_t kept_ = 0;
    uint8_t lead_ = 0;
    bool broken_ = false;
};
