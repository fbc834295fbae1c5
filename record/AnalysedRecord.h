#pragma once
// A record read whole and analysed for output (paper, archive) exactly as the review analyses
// it: the packets in file order and the analysis of this very file, so an output can never show
// the measurements of another record. Plain standard C++.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "analysis/AnalysisTypes.h"
#include "device/DevicePacket.h"

class LanguageTable;

struct AnalysedRecord {
    std::vector<DevicePacket> packets;  // the whole seconds, in file order
    bool sampleOffset = false;          // a title ending in "b": samples carry +320
    bool analysed = false;              // all twelve leads seen: the values below hold
    MeasurementSet measurements;
    DiagnosisFlags diagnosis{};
    int32_t rv5 = 0;  // R amplitude of V5, µV
    int32_t sv1 = 0;  // S amplitude of V1, µV (negative)
    ConclusionLines conclusion;
    int firstLine = 10;  // first used conclusion line; 10 when there is none
};

enum class AnalysedRead { Read, Unreadable, TooShort };
// Reads a record into `record` and runs the review's analysis on it, with the statements of
// `language`, on an engine of its own: the program's engine keeps what the screen shows.
AnalysedRead ReadAnalysedRecord(const std::filesystem::path& path, const LanguageTable& language,
                                AnalysedRecord& record);
