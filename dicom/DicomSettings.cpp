#include "dicom/DicomSettings.h"

#include <charconv>

#include "foundation/ProfileFile.h"

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
    DicomSettings settings;
    const std::string file = settingsFile.string();
    const std::string root = GetProfileString(file, "Dicom", "UidRoot");
    if (IsValidUidRoot(root))
        settings.uidRoot = root;
    else if (!root.empty())
        settings.problems.push_back("[Dicom] UidRoot \"" + root
                                    + "\" is no UID root (digits and dots, at most "
                                    + std::to_string(kMaxUidRootLength) + " characters)");

    PacsSettings pacs;
    pacs.host = GetProfileString(file, "Pacs", "Host");
    if (pacs.host.empty())
        return settings;
    const size_t before = settings.problems.size();
    const std::string port = GetProfileString(file, "Pacs", "Port");
    if (const std::optional<int> p = NumberIn(port, 1, 65535))
        pacs.port = *p;
    else
        settings.problems.push_back("[Pacs] Port \"" + port + "\" is no port number (1 to 65535)");
    pacs.calledAeTitle = GetProfileString(file, "Pacs", "CalledAETitle");
    if (!IsValidAeTitle(pacs.calledAeTitle))
        settings.problems.push_back("[Pacs] CalledAETitle \"" + pacs.calledAeTitle
                                    + "\" is no AE title (1 to 16 characters)");
    const std::string calling = GetProfileString(file, "Pacs", "CallingAETitle");
    if (!calling.empty())
        pacs.callingAeTitle = calling;
    if (!IsValidAeTitle(pacs.callingAeTitle))
        settings.problems.push_back("[Pacs] CallingAETitle \"" + calling
                                    + "\" is no AE title (1 to 16 characters)");
    const std::string timeout = GetProfileString(file, "Pacs", "Timeout");
    if (!timeout.empty()) {
        if (const std::optional<int> t = NumberIn(timeout, 1, 3600))
            pacs.timeoutSeconds = *t;
        else
            settings.problems.push_back("[Pacs] Timeout \"" + timeout
                                        + "\" is no number of seconds (1 to 3600)");
    }
    if (settings.uidRoot.empty())
        settings.problems.push_back("[Dicom] UidRoot is needed to send to the PACS");
    if (settings.problems.size() == before && !settings.uidRoot.empty())
        settings.pacs = pacs;
    return settings;
}
