#pragma once
// Reading and writing of INI profile files the way the Windows profile calls do: sections and keys
// match without regard to case, values are trimmed, text is stored as its bytes (UTF-8, no escaping).
#include <string>

// The value of section/key, cut to fit a buffer of bufferSize bytes with its terminator; empty when
// the file, the section or the key is missing.
std::string GetProfileString(const std::string& path, const std::string& section,
                             const std::string& key, size_t bufferSize = 260);

// Sets section/key to value, keeping every other line of the file; creates file and section as
// needed. The file is replaced whole or not at all (a link is followed, so the file it names is
// replaced). False when the file cannot be written, or exists and cannot be read: writing then
// would lose every other setting it holds.
bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);

// Parses the text of a profile file; used by the reader and by the fuzz target.
std::string FindProfileValue(const std::string& text, const std::string& section,
                             const std::string& key);

// The text of a profile with another laid over it: every section the overlay names comes from the
// overlay alone, every other section from base.
std::string OverlayProfile(const std::string& base, const std::string& overlay);
// True when the text has a section of that name.
bool HasProfileSection(const std::string& text, const std::string& section);

// Text without its leading and trailing white space (blank, tab, CR, LF, VT, FF).
std::string Trim(const std::string& text);
