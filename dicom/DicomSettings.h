#pragma once
// Where DICOM objects go and under which identifiers, from Settings.ini:
//
//   [Dicom]  UidRoot=1.2.826.0.1.3680043.10.999    the organisation's root for every UID issued
//   [Pacs]   Host=pacs.example  Port=104  CalledAETitle=PACS  CallingAETitle=CORVIDA  Timeout=30
//   [Worklist] Host=ris.example  Port=104  CalledAETitle=RIS  CallingAETitle=(the [Pacs] one)
//            Timeout=10  StationAETitle=ECG1  Modality=ECG  DaysBefore=0  DaysAfter=0
//
// No Host means no PACS (no worklist): sending (the worklist) is not offered. Plain standard C++.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

constexpr int kDefaultPacsTimeoutSeconds = 30;
constexpr const char* kDefaultCallingAeTitle = "CORVIDA";
// The record hash, ".", the series and instance numbers follow the root: 41 characters leave
// room for them within the 64 a UID may have.
constexpr size_t kMaxUidRootLength = 41;

struct PacsSettings {
    std::string host;
    int port = 0;
    std::string callingAeTitle = kDefaultCallingAeTitle;
    std::string calledAeTitle;
    int timeoutSeconds = kDefaultPacsTimeoutSeconds;  // connect, negotiation and each response
};

constexpr int kDefaultWorklistTimeoutSeconds = 10;
constexpr const char* kDefaultWorklistModality = "ECG";
// Days around today a worklist query reaches at most, either way.
constexpr int kMaxWorklistDays = 31;

// The hospital's modality worklist (its address as for a PACS) and the scheduled steps this
// station asks it for: steps of the modality, for the station's AE title when one is set (else
// for any station), scheduled from daysBefore days before today to daysAfter days after it.
struct WorklistSettings : PacsSettings {
    WorklistSettings() { timeoutSeconds = kDefaultWorklistTimeoutSeconds; }
    std::string stationAeTitle;  // empty: steps of any station
    std::string modality = kDefaultWorklistModality;
    int daysBefore = 0;
    int daysAfter = 0;
};

struct DicomSettings {
    std::string uidRoot;               // empty when not set or not a valid root (see problems)
    std::optional<PacsSettings> pacs;  // set only when [Pacs] is complete and valid
    std::optional<WorklistSettings> worklist;  // set only when [Worklist] is complete and valid
    std::vector<std::string> problems;  // one English sentence per unusable setting
};

DicomSettings ReadDicomSettings(const std::filesystem::path& settingsFile);
// The same from the text of a settings file.
DicomSettings DicomSettingsOf(const std::string& profile);

// Digits and dots, no empty component, no leading zero in a component, at most
// kMaxUidRootLength characters.
bool IsValidUidRoot(const std::string& root);
// 1 to 16 characters of the default character repertoire, no backslash, not all blanks.
bool IsValidAeTitle(const std::string& title);
