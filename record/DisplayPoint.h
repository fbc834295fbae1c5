#pragma once
// One element of the review point list: one point per 10 packets of a stored record, with the
// recorder state the labels show. Eight bytes.
#include <cstdint>

struct DisplayPoint {
    int16_t sample = 192;
    uint8_t leadIndex = 0;
    uint8_t speedCode = 2;   // always 2 in review
    uint8_t gainCode = 1;    // gain code + 1, as shown
    uint8_t filterCode = 0;
    uint8_t modeFlag = 0;
    uint8_t rangeFlag = 0;
};
static_assert(sizeof(DisplayPoint) == 8);

constexpr int kPacketsPerPoint = 10;  // 80 points per second of record
