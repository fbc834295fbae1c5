#include "foundation/ProfileFile.h"
#include "foundation/WholeFile.h"

#include <sstream>
#include <vector>

std::string Trim(const std::string& s)
{
    const char* blanks = " \t\r\n\v\f";
    size_t b = s.find_first_not_of(blanks);
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

namespace {

bool SameText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x < 128 && y < 128 ? std::tolower(x) != std::tolower(y) : x != y)
            return false;
    }
    return true;
}

// "[name]" -> name; empty when the line is no section header.
bool SectionName(const std::string& line, std::string& name)
{
    std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[')
        return false;
    size_t close = t.find(']');
    if (close == std::string::npos)
        return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

bool KeyOf(const std::string& line, std::string& key, std::string& value)
{
    size_t eq = line.find('=');
    if (eq == std::string::npos)
        return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return true;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::string FindProfileValue(const std::string& text, const std::string& section,
                             const std::string& key)
{
    bool inSection = false;
    for (const std::string& line : SplitLines(text)) {
        std::string name, k, v;
        if (SectionName(line, name))
            inSection = SameText(name, section);
        else if (inSection && KeyOf(line, k, v) && SameText(k, key)) {
            // A value in matching quotes is given without them.
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            return v;
        }
    }
    return {};
}

std::string GetProfileString(const std::string& path, const std::string& section,
                             const std::string& key, size_t bufferSize)
{
    std::string text;
    if (!ReadRegularFile(path, text))
        return {};
    std::string value = FindProfileValue(text, section, key);
    if (bufferSize > 0 && value.size() > bufferSize - 1) {
        value.resize(bufferSize - 1);
        // Do not leave half of a multi-byte character at the cut.
        while (!value.empty() && (static_cast<unsigned char>(value.back()) & 0xC0) == 0x80)
            value.pop_back();
        if (!value.empty() && static_cast<unsigned char>(value.back()) >= 0xC0)
            value.pop_back();
    }
    return value;
}

bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value)
{
    std::string text;
    std::error_code error;
    if (!ReadRegularFile(path, text) && std::filesystem::exists(path, error))
        return false;
    const std::string eol = text.find('\n') != std::string::npos && text.find("\r\n") == std::string::npos
                                ? "\n" : "\r\n";
    std::vector<std::string> lines = SplitLines(text);
    const std::string entry = key + "=" + value;

    int sectionLine = -1;
    int lastInSection = -1;
    bool done = false;
    bool inSection = false;
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        std::string name, k, v;
        if (SectionName(lines[i], name)) {
            inSection = SameText(name, section);
            if (inSection && sectionLine < 0) {
                sectionLine = static_cast<int>(i);
                lastInSection = sectionLine;
            }
        } else if (inSection) {
            if (KeyOf(lines[i], k, v) && SameText(k, key)) {
                lines[i] = k + "=" + value;  // the key keeps the spelling it has in the file
                done = true;
            } else if (!Trim(lines[i]).empty()) {
                lastInSection = static_cast<int>(i);
            }
        }
    }
    if (!done) {
        if (sectionLine >= 0) {
            lines.insert(lines.begin() + lastInSection + 1, entry);
        } else {
            lines.push_back("[" + section + "]");
            lines.push_back(entry);
        }
    }
    std::string out;
    for (const std::string& line : lines)
        out += line + eol;
    // A link is written through, as a plain write would: the settings it points to are replaced.
    const bool link = std::filesystem::is_symlink(path, error);
    const std::filesystem::path target = link ? std::filesystem::weakly_canonical(path, error)
                                              : std::filesystem::path(path);
    std::string why;
    return !(link && error) && WriteFileWhole(target, out, why);
}

std::string OverlayProfile(const std::string& base, const std::string& overlay)
{
    std::string out;
    std::string name;
    bool keep = true;
    for (const std::string& line : SplitLines(base)) {
        if (SectionName(line, name))
            keep = !HasProfileSection(overlay, name);
        if (keep)
            out += line + "\n";
    }
    // Lines before the overlay's first section belong to no section; appended, they would join
    // the last section of base.
    bool inSection = false;
    for (const std::string& line : SplitLines(overlay)) {
        inSection = inSection || SectionName(line, name);
        if (inSection)
            out += line + "\n";
    }
    return out;
}

bool HasProfileSection(const std::string& text, const std::string& section)
{
    std::string name;
    for (const std::string& line : SplitLines(text))
        if (SectionName(line, name) && SameText(name, section))
            return true;
    return false;
}
