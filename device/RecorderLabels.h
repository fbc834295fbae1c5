#pragma once
// What the recorder's filter and gain codes and the run's speeds are called wherever a record is
// shown: the lead panels, the printed strips and the archived waveform. The codes are the
// recorder's own (DevicePacket.h); the texts are never translated. Plain standard C++.
#include <array>

#include "device/DevicePacket.h"

// A filter setting: its name, and what it does to the signal as far as is known: a low-pass
// corner or a mains notch, in Hz (0: none). What the "+" of "50Hz+" and "60Hz+" adds is not
// known, so only their notch is stated.
struct FilterSetting {
    const char* text;
    int lowPassHz;
    int notchHz;
};
inline constexpr std::array<FilterSetting, kMaxFilterCode + 1> kFilterSettings = {{
    {"OFF", 0, 0}, {"35Hz", 35, 0}, {"50Hz", 0, 50}, {"60Hz", 0, 60}, {"50Hz+", 0, 50}, {"60Hz+", 0, 60},
}};

// Gain codes 0 ... 2. The recorder scales its samples with the gain, so 1 mV is 40, 80 or 160
// units at 5, 10 or 20 mm/mV; gain code 3 has no known scale and no name.
struct GainSetting {
    const char* text;
    int unitsPerMillivolt;
};
inline constexpr std::array<GainSetting, 3> kGainSettings = {{
    {"5mm/mV", 40}, {"10mm/mV", 80}, {"20mm/mV", 160},
}};

// Speed index 0 ... 2 of the display and print settings.
inline constexpr std::array<const char*, 3> kSpeedTexts = {"12.5mm/s", "25mm/s", "50mm/s"};

// The names by code; empty for a code without one.
constexpr const char* FilterText(int filterCode)
{
    return filterCode >= 0 && filterCode <= kMaxFilterCode ? kFilterSettings[filterCode].text : "";
}
constexpr const char* GainText(int gainCode)
{
    return gainCode >= 0 && gainCode < int(kGainSettings.size()) ? kGainSettings[gainCode].text : "";
}
constexpr const char* SpeedText(int speedIndex)
{
    return speedIndex >= 0 && speedIndex < int(kSpeedTexts.size()) ? kSpeedTexts[speedIndex] : "";
}
