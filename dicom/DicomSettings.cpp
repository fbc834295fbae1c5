#include "dicom/DicomSettings.h"

#include <charconv>

#include "foundation/ProfileFile.h"
#include "foundation/WholeFile.h"

namespace {

// A whole decimal number within [low, high]; nullopt for anything else.
std::optional<int> NumberIn(const std::string& text, int low, int high)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

// 1 to 16 capitals, digits, blanks or underscores, not all blanks: a code string value.
bool IsValidCodeString(const std::string& text)
{
    return !text.empty() && text.size() <= 16 && text.find_first_not_of(' ') != std::string::npos
           && text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 _") == std::string::npos;
}

// The address of a peer from its section: Port, CalledAETitle, CallingAETitle (the default kept
// when not set) and Timeout; one problem per unusable setting.
void ReadPeer(const std::string& profile, const std::string& section, PacsSettings& peer,
              std::vector<std::string>& problems)
{
    const std::string name = "[" + section + "] ";
    const std::string port = FindProfileValue(profile, section, "Port");
    if (const std::optional<int> p = NumberIn(port, 1, 65535))
        peer.port = *p;
    else
        problems.push_back(name + "Port \"" + port + "\" is no port number (1 to 65535)");
    peer.calledAeTitle = FindProfileValue(profile, section, "CalledAETitle");
    if (!IsValidAeTitle(peer.calledAeTitle))
        problems.push_back(name + "CalledAETitle \"" + peer.calledAeTitle
                           + "\" is no AE title (1 to 16 characters)");
    const std::string calling = FindProfileValue(profile, section, "CallingAETitle");
    if (!calling.empty())
        peer.callingAeTitle = calling;
    if (!IsValidAeTitle(peer.callingAeTitle))
        problems.push_back(name + "CallingAETitle \"" + peer.callingAeTitle
                           + "\" is no AE title (1 to 16 characters)");
    const std::string timeout = FindProfileValue(profile, section, "Timeout");
    if (!timeout.empty()) {
        if (const std::optional<int> t = NumberIn(timeout, 1, 3600))
            peer.timeoutSeconds = *t;
        else
            problems.push_back(name + "Timeout \"" + timeout
                               + "\" is no number of seconds (1 to 3600)");
    }
}

}  // namespace

bool IsValidUidRoot(const std::string& root)
{
    if (root.empty() || root.size() > kMaxUidRootLength)
        return false;
    size_t start = 0;
    while (start <= root.size()) {
        size_t dot = root.find('.', start);
        if (dot == std::string::npos)
            dot = root.size();
        const std::string part = root.substr(start, dot - start);
        if (part.empty() || (part.size() > 1 && part[0] == '0'))
            return false;
        for (char c : part)
            if (c < '0' || c > '9')
                return false;
        start = dot + 1;
    }
    return true;
}

bool IsValidAeTitle(const std::string& title)
{
    if (title.empty() || title.size() > 16 || title.find_first_not_of(' ') == std::string::npos)
        return false;
    for (unsigned char c : title)
        if (c < 0x20 || c > 0x7E || c == '\\')
            return false;
    return true;
}

DicomSettings ReadDicomSettings(const std::filesystem::path& settingsFile)
{
    std::string text;
    ReadRegularFile(settingsFile, text);
    return DicomSettingsOf(text);
}

DicomSettings DicomSettingsOf(const std::string& profile)
{
    DicomSettings settings;
    const std::string root = FindProfileValue(profile, "Dicom", "UidRoot");
    if (IsValidUidRoot(root))
        settings.uidRoot = root;
    else if (!root.empty())
        settings.problems.push_back("[Dicom] UidRoot \"" + root
                                    + "\" is no UID root (digits and dots, at most "
                                    + std::to_string(kMaxUidRootLength) + " characters)");

    PacsSettings pacs;
    pacs.host = FindProfileValue(profile, "Pacs", "Host");
    if (!pacs.host.empty()) {
        const size_t before = settings.problems.size();
        ReadPeer(profile, "Pacs", pacs, settings.problems);
        if (settings.uidRoot.empty())
            settings.problems.push_back("[Dicom] UidRoot is needed to send to the PACS");
        if (settings.problems.size() == before)
            settings.pacs = pacs;
    }

    WorklistSettings worklist;
    worklist.host = FindProfileValue(profile, "Worklist", "Host");
    if (worklist.host.empty())
        return settings;
    const size_t before = settings.problems.size();
    if (const std::string calling = FindProfileValue(profile, "Pacs", "CallingAETitle"); !calling.empty())
        worklist.callingAeTitle = calling;
    ReadPeer(profile, "Worklist", worklist, settings.problems);
    worklist.stationAeTitle = FindProfileValue(profile, "Worklist", "StationAETitle");
    if (!worklist.stationAeTitle.empty() && !IsValidAeTitle(worklist.stationAeTitle))
        settings.problems.push_back("[Worklist] StationAETitle \"" + worklist.stationAeTitle
                                    + "\" is no AE title (1 to 16 characters)");
    if (const std::string modality = FindProfileValue(profile, "Worklist", "Modality"); !modality.empty())
        worklist.modality = modality;
    if (!IsValidCodeString(worklist.modality))
        settings.problems.push_back("[Worklist] Modality \"" + worklist.modality
                                    + "\" is no modality (1 to 16 capitals, digits, blanks or _)");
    for (auto [key, days] : {std::pair{"DaysBefore", &worklist.daysBefore},
                             std::pair{"DaysAfter", &worklist.daysAfter}}) {
        const std::string text = FindProfileValue(profile, "Worklist", key);
        if (text.empty())
            continue;
        if (const std::optional<int> n = NumberIn(text, 0, kMaxWorklistDays))
            *days = *n;
        else
            settings.problems.push_back("[Worklist] " + std::string(key) + " \"" + text
                                        + "\" is no number of days (0 to "
                                        + std::to_string(kMaxWorklistDays) + ")");
    }
    if (settings.problems.size() == before)
        settings.worklist = worklist;
    return settings;
}
