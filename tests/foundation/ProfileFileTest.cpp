// Settings.ini reading and writing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

#include "foundation/ProfileFile.h"
#include "foundation/WholeFile.h"
#include "tests/support/TempDir.h"

TEST(ProfileFile, ReadsSectionsAndKeysWithoutRegardToCaseAndWritingKeepsOtherLines)
{
    const std::string text = "[commno]\r\n PATH = 12 \r\n[Language]\r\nPath=中文\r\n[Other]\r\nPath=x\r\n";
    EXPECT_EQ(FindProfileValue(text, "CommNo", "Path"), "12");
    EXPECT_EQ(FindProfileValue(text, "Language", "path"), "中文");
    EXPECT_EQ(FindProfileValue(text, "Missing", "Path"), "");
    EXPECT_EQ(FindProfileValue("Path=1\n[CommNo]\n", "CommNo", "Path"), "");
    EXPECT_EQ(FindProfileValue("[A]\nk=\"quoted\"\n", "A", "k"), "quoted");

    TempDir dir;
    const auto path = (dir.Path() / "Settings.ini").string();
    ASSERT_TRUE(WriteProfileString(path, "CommNo", "Path", "3"));
    ASSERT_TRUE(WriteProfileString(path, "Language", "Path", "中文"));
    EXPECT_EQ(ReadBytes(path), "[CommNo]\r\nPath=3\r\n[Language]\r\nPath=中文\r\n");

    ASSERT_TRUE(WriteProfileString(path, "commno", "path", "12"));
    ASSERT_TRUE(WriteProfileString(path, "CommNo", "Extra", "x"));
    EXPECT_EQ(ReadBytes(path), "[CommNo]\r\nPath=12\r\nExtra=x\r\n[Language]\r\nPath=中文\r\n");
    EXPECT_EQ(GetProfileString(path, "CommNo", "Path"), "12");
    EXPECT_FALSE(WriteProfileString((dir.Path() / "no/such/dir/x.ini").string(), "A", "B", "C"));

    // Each section the overlay names replaces the base's; its lines before any section are no one's.
    EXPECT_EQ(OverlayProfile("k=0\r\n[A]\r\nk=1\r\n[b]\r\nk=2\r\n[C]\r\n", "x=9\n[B]\nk=3\n"),
              "k=0\n[A]\nk=1\n[C]\n[B]\nk=3\n");
}

// Start-up reads Settings.ini and the language files through ReadRegularFile: a FIFO would
// hang it, /dev/zero would exhaust memory. Nothing is written over what cannot be read.
TEST(ProfileFile, OnlyRegularFilesOfSaneSizeAreRead)
{
    TempDir dir;
    const auto fifo = dir.Path() / "fifo.ini", zero = dir.Path() / "zero.ini", big = dir.Path() / "big.ini";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", zero);
    std::ofstream(big) << "[CommNo]\nPath=3\n" << std::string(kMaxSmallFileBytes, ' ');
    for (const auto& path : {fifo, zero, big, dir.Path()}) {
        EXPECT_EQ(GetProfileString(path.string(), "CommNo", "Path"), "") << path;
        // Writing would replace what could not be read with the one key.
        EXPECT_FALSE(WriteProfileString(path.string(), "CommNo", "Path", "4")) << path;
    }
    EXPECT_EQ(std::filesystem::file_size(big), kMaxSmallFileBytes + 16);
    std::string text;
    EXPECT_FALSE(ReadRegularFile(fifo, text));
}

