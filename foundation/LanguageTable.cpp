#include "foundation/LanguageTable.h"
#include "foundation/ProfileFile.h"
#include "foundation/WholeFile.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace {

bool ReadWholeFile(const std::filesystem::path& path, std::string& text)
{
    if (!ReadRegularFile(path, text))
        return false;
    // Files saved by editors that mark UTF-8 start with a byte-order mark; it is not text.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    return true;
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to)
{
    for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size()))
        s.replace(p, from.size(), to);
}

std::string FirstLine(const std::string& text)
{
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

}  // namespace

void LanguageTable::SetDirectory(const std::string& name)
{
    directory_ = name;
    if (directory_.empty() || directory_.back() != '/')
        directory_ += '/';
}

std::string LanguageTable::DisplayName(const std::string& text)
{
    std::string line = FirstLine(text);
    if (line.empty() || line[0] != ';')
        return {};
    return line.substr(1);
}

std::map<std::string, std::string> LanguageTable::ParseEntries(const std::string& text)
{
    std::map<std::string, std::string> entries;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);  // the display-name line
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == ';')
            continue;
        ReplaceAll(line, "\\t", "\t");
        ReplaceAll(line, "\\n", "\n");
        // Split at the last '=' so a key may itself hold an equals sign.
        size_t eq = line.rfind('=');
        if (eq == std::string::npos)
            continue;
        std::string key = Trim(line.substr(0, eq));
        std::string value = Trim(line.substr(eq + 1));
        if (!key.empty() && !value.empty())
            entries[key] = value;
    }
    return entries;
}

int LanguageTable::Scan(std::vector<std::string>* list)
{
    names_.clear();
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory_, ec))
        if (entry.path().extension() == ".ini")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    int count = 0;
    for (const auto& path : files) {
        std::string text;
        if (!ReadWholeFile(path, text))
            continue;
        std::string name = DisplayName(text);
        if (name.empty())
            continue;
        names_[name] = path.stem().string();
        if (list)
            list->push_back(name);
        ++count;
    }
    return count;
}

int LanguageTable::Load(const std::string& displayName)
{
    auto found = names_.find(displayName);
    if (found == names_.end())
        return 0;
    std::string text;
    if (!ReadWholeFile(directory_ + found->second + ".ini", text))
        return 0;
    current_ = displayName;
    entries_ = ParseEntries(text);
    return static_cast<int>(entries_.size());
}

std::string LanguageTable::LoadOrFallBack(const std::string& displayName)
{
    if (Load(displayName) > 0)
        return displayName;
    if (Load("English") > 0)
        return "English";
    for (const auto& entry : names_)
        if (Load(entry.first) > 0)
            return entry.first;
    return {};
}

const std::string& LanguageTable::Translate(const std::string& key) const
{
    static const std::string empty;
    auto found = entries_.find(key);
    if (found != entries_.end())
        return found->second;
    // Keys are trimmed when a file is read, so a key that ends in a blank ("Printing canceled ! ")
    // could never be found as it stands; it is looked up without its trailing blanks.
    size_t end = key.find_last_not_of(' ');
    if (end != std::string::npos && end + 1 < key.size()) {
        found = entries_.find(key.substr(0, end + 1));
        if (found != entries_.end())
            return found->second;
    }
    return empty;
}
