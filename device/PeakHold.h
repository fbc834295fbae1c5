#pragma once
// Decimation with peak hold, the one rule for the live drawing and the review point list: of the
// packets between two shown points the one farthest from the zero line is shown, so a narrow
// spike survives keeping one packet in d. Plain standard C++.
#include <cstdint>

#include "device/DevicePacket.h"

class PeakHold {
public:
    // The sample to show for the n-th packet of a decimation by d, n counted by the caller: a
    // packet with n % d == 1 starts a window afresh, a later one replaces the held sample only
    // when it lies farther from the zero line (a tie keeps the held one). A point is due at
    // n % d == 0.
    int16_t Take(uint64_t n, uint32_t d, int16_t sample)
    {
        if (n % d != 1 && Distance(held_) >= Distance(sample))
            return held_;
        held_ = sample;
        return held_;
    }
    int16_t Held() const { return held_; }

private:
    static int Distance(int16_t sample) { return sample < kBaseline ? kBaseline - sample : sample - kBaseline; }

    int16_t held_ = kBaseline;
};
