#include "foundation/StationUser.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>

#include "foundation/ProfileFile.h"

namespace {
constexpr char kPrintedNameSection[] = "PrintedName";
}  // namespace

StationUser CurrentStationUser()
{
    StationUser user;
    // The effective user is who the files are written as; the variables of the environment
    // could name anyone.
    if (const passwd* account = getpwuid(geteuid())) {
        user.login = account->pw_name ? account->pw_name : "";
        const std::string gecos = account->pw_gecos ? account->pw_gecos : "";
        user.fullName = gecos.substr(0, gecos.find(','));
    }
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) == 0)
        user.station = host;
    return user;
}

std::string RememberedPrintedName(const std::string& stationFile, const std::string& login)
{
    return login.empty() ? std::string() : GetProfileString(stationFile, kPrintedNameSection, login, 1024);
}

bool RememberPrintedName(const std::string& stationFile, const std::string& login,
                         const std::string& name)
{
    // The profile writer replaces the file whole, so a full disk keeps every name remembered.
    return !login.empty() && WriteProfileString(stationFile, kPrintedNameSection, login, name);
}
