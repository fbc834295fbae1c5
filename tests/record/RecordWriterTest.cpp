// The record writer: new names never overwrite, every append reaches the disk, less than a second
// leaves no file, and a file that is gone or no longer the record's own is never written again.
// (A disk that fills: MainWindowRecordingTest.)
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <thread>
#include <vector>

#include "record/RecordFile.h"
#include "tests/support/PacketFile.h"
#include "tests/support/TempDir.h"
#include "record/RecordWriter.h"

namespace fs = std::filesystem;

namespace {

// 2026-12-07 10:15 local time.
std::time_t Morning()
{
    std::tm t{};
    t.tm_min = 15, t.tm_hour = 10, t.tm_mday = 7, t.tm_mon = 11, t.tm_year = 126, t.tm_isdst = -1;
    return std::mktime(&t);
}

std::vector<DevicePacket> Packets(std::size_t count, int seed = 0)
{
    std::vector<DevicePacket> packets(count);
    for (std::size_t i = 0; i < count; ++i)
        packets[i] = MakePacket(static_cast<uint8_t>(i / kPacketsPerLead % 12),
                                static_cast<int>((i * 7 + seed) % 1024));
    return packets;
}

}  // namespace

// Two stations recording the same patient in its folder on a share, started in the same minute.
TEST(RecordWriter, TwoWritersStartedTogetherEachKeepTheirOwnFile)
{
    TempDir dir;
    RecordWriter a, b;
    bool startedB = false;
    std::thread other([&] { startedB = b.Start(dir.Path() / "7", Morning()); });
    ASSERT_TRUE(a.Start(dir.Path() / "7", Morning()));  // the folder is made when missing
    other.join();
    ASSERT_TRUE(startedB);
    EXPECT_NE(a.Path(), b.Path());
    EXPECT_EQ(fs::file_size(a.Path()), 0u);
    const std::vector<DevicePacket> first = Packets(2000), second = Packets(1000, 5);
    for (std::size_t at = 0; at < first.size(); at += 700)
        ASSERT_TRUE(a.Append(first.data() + at, std::min<std::size_t>(700, first.size() - at)));
    ASSERT_TRUE(b.Append(second.data(), second.size()));
    EXPECT_EQ(ReadPackets(a.Path()), first);  // on the disk before the end
    a.Finish();
    b.Finish();
    EXPECT_TRUE(a.Kept() && b.Kept());
    EXPECT_EQ(ReadPackets(a.Path()), first);
    EXPECT_EQ(ReadPackets(b.Path()), second);
}

// Less than a second is not kept; a record deleted or replaced under the writer is never written
// again nor removed; a write that fails part-way leaves the whole seconds and ends the writing.
TEST(RecordWriter, WhatIsKeptAfterAShortRecordAFileGoneOrReplacedAndAFailedWrite)
{
    TempDir dir;
    const std::vector<DevicePacket> packets = Packets(4 * kPacketsPerSecond);
    const fs::path other = dir.Path() / "other.cv";
    WritePackets(other, Packets(kPacketsPerSecond, 3));
    enum Fault { kShort, kDeleted, kReplaced, kFileSizeLimit };
    for (const Fault fault : {kShort, kDeleted, kReplaced, kFileSizeLimit}) {
        SCOPED_TRACE(fault);
        RecordWriter writer;
        ASSERT_TRUE(writer.Start(dir.Path(), Morning()));
        const fs::path path = writer.Path();
        ASSERT_TRUE(writer.Append(packets.data(), fault == kShort ? 799 : 1000));
        if (fault == kDeleted)
            fs::remove(path);
        if (fault == kReplaced) {
            fs::rename(path, dir.Path() / "moved");
            fs::copy_file(other, path);
        }
        rlimit unlimited{};
        getrlimit(RLIMIT_FSIZE, &unlimited);
        if (fault == kFileSizeLimit) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit = unlimited;
            limit.rlim_cur = 3 * kBytesPerSecond + 100;
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (fault != kShort) {
            EXPECT_FALSE(writer.Append(packets.data() + 1000, 2000));
            EXPECT_FALSE(writer.Append(packets.data() + 3000, 1)) << "nothing after a gap";
        }
        setrlimit(RLIMIT_FSIZE, &unlimited);
        writer.Finish();
        EXPECT_EQ(writer.Kept(), fault == kFileSizeLimit);
        if (fault == kShort || fault == kDeleted) {
            EXPECT_FALSE(fs::exists(path));
        } else {
            const std::vector<DevicePacket> left = ReadPackets(path);
            EXPECT_EQ(left, fault == kReplaced ? Packets(kPacketsPerSecond, 3)
                                               : std::vector<DevicePacket>(packets.begin(), packets.begin() + 800));
        }
        fs::remove(path);
    }
}
