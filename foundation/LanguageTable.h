#pragma once
// The table of user-interface texts: English keys mapped to the texts of one language file.
// Plain standard C++ (UTF-8 strings), shared by the program and the command-line tools.
#include <map>
#include <string>
#include <vector>

class LanguageTable {
public:
    // Sets the folder of the language files; a separator is appended when missing.
    void SetDirectory(const std::string& name);
    const std::string& Directory() const { return directory_; }

    // Rebuilds the display-name map from the *.ini files of the folder; appends each display name
    // to list when given. Returns the number of names.
    int Scan(std::vector<std::string>* list = nullptr);

    // Loads the file of a scanned display name. Returns the number of entries, or 0 (table kept)
    // when the name is unknown or the file cannot be read.
    int Load(const std::string& displayName);
    // Loads a display name; when it is unknown or its file holds no texts, "English", else the
    // first name whose file loads. Returns the name loaded, or empty when no file loads.
    std::string LoadOrFallBack(const std::string& displayName);

    // The text for a key, or the empty text when the key is not in the table.
    const std::string& Translate(const std::string& key) const;

    const std::string& CurrentName() const { return current_; }
    const std::map<std::string, std::string>& Entries() const { return entries_; }

    // Parses the lines after the display-name line of a language file into entries.
    static std::map<std::string, std::string> ParseEntries(const std::string& text);
    // The display name of a language file's text, or empty when its first line is no ';' line.
    static std::string DisplayName(const std::string& text);

private:
    std::string directory_ = "language/";
    std::map<std::string, std::string> names_;  // display name -> file title
    std::string current_;
    std::map<std::string, std::string> entries_;
};
