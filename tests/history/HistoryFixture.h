#pragma once
// The database fixture with small helpers to make patients and record files.
#include <gtest/gtest.h>

#include <QDateTime>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "db/PatientStore.h"
#include "tests/db/DatabaseFixture.h"

namespace fs = std::filesystem;

// Every file under root with its bytes, to show that nothing outside a folder changed.
inline std::map<std::string, std::string> Snapshot(const fs::path& root)
{
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
        std::string& bytes = files[fs::relative(e.path(), root).string()];
        if (e.is_regular_file() && !e.is_symlink())
            bytes = ReadBytes(e.path());
    }
    return files;
}

// A record-sized file of pseudo-random recorder packets (the copy must keep every byte).
inline std::string WriteRecord(const fs::path& path, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(4 * 3200, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)  // start bit on byte 0 only, the valid flag set
        bytes[i] = static_cast<char>(i % 4 == 0 ? random() | 0x80 : (random() & 0x7F) | (i % 4 == 1 ? 0x40 : 0));
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return bytes;
}

class HistoryTest : public DatabaseFixture {
protected:
    int32_t AddPatient(const QString& name, const QString& clinicalNo, int sex,
                       const QDateTime& when)
    {
        const StoreResult r = StorePatient({0, name, 40, 0, 0, 0, sex, {}, clinicalNo, {}, 0}, when);
        EXPECT_TRUE(r.Stored());
        return r.id;
    }
};
