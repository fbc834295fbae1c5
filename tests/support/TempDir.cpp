#include "tests/support/TempDir.h"

#include <cstdlib>
#include <string>

TempDir::TempDir(bool enter)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "corvida-test-XXXXXX").string();
    if (char* made = mkdtemp(pattern.data()))
        path_ = made;
    if (enter) {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
}

TempDir::~TempDir()
{
    std::error_code ec;
    if (!previous_.empty())
        std::filesystem::current_path(previous_, ec);
    if (!path_.empty()) {
        // Tests make folders read-only on purpose; give write access back before removal.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
}
