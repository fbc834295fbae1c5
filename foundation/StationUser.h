#pragma once
// Who is at this station: the logged-in user of the operating system and the host's name, and
// the name that user wants printed under a reading, remembered in a file of the station. Plain
// standard C++ (POSIX).
#include <string>

struct StationUser {
    std::string login;     // the account name; empty when the system names none
    std::string fullName;  // the first field of the account's comment (GECOS), may be empty
    std::string station;   // the host name
};
StationUser CurrentStationUser();

// The printed name `login` gave on this station, from the station file (an INI file, section
// [PrintedName], one key per login); empty when none was given.
std::string RememberedPrintedName(const std::string& stationFile, const std::string& login);
// Remembers it, the file written whole or not at all; false when it cannot be written.
bool RememberPrintedName(const std::string& stationFile, const std::string& login,
                         const std::string& name);
