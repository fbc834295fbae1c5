// The record writer: new names never overwrite, every whole second reaches the disk and the rest
// at the end, and less than a second leaves no file. (Failing disks: MainWindowRecordingTest.)
#include <gtest/gtest.h>

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
    std::tm t{.tm_min = 15, .tm_hour = 10, .tm_mday = 7, .tm_mon = 11, .tm_year = 126, .tm_isdst = -1};
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
    std::thread other([&] { startedB = b.Start(dir.Path(), Morning()); });
    ASSERT_TRUE(a.Start(dir.Path(), Morning()));
    other.join();
    ASSERT_TRUE(startedB);
    EXPECT_NE(a.Path(), b.Path());
    const std::vector<DevicePacket> first = Packets(1000), second = Packets(1000, 5);
    for (std::size_t i = 0; i < first.size(); ++i)
        ASSERT_TRUE(a.Store(first[i]) && b.Store(second[i]));
    ASSERT_TRUE(a.Finish() && b.Finish());
    EXPECT_EQ(ReadPackets(a.Path()), first);
    EXPECT_EQ(ReadPackets(b.Path()), second);
}

TEST(RecordWriter, EverySecondReachesTheDiskWhileRecordingTheRestAtTheEnd)
{
    TempDir dir;
    RecordWriter writer;
    const std::vector<DevicePacket> packets = Packets(kPacketsPerRecord + 123);
    ASSERT_TRUE(writer.Start(dir.Path() / "7", Morning()));  // the folder is made when missing
    for (int i = 0; i < kPacketsPerSecond - 1; ++i)
        ASSERT_TRUE(writer.Store(packets[i]));
    EXPECT_EQ(fs::file_size(writer.Path()), 0u);
    ASSERT_TRUE(writer.Store(packets[kPacketsPerSecond - 1]));
    EXPECT_EQ(fs::file_size(writer.Path()), std::uintmax_t(kBytesPerSecond));
    for (std::size_t i = kPacketsPerSecond; i < packets.size(); ++i)
        ASSERT_TRUE(writer.Store(packets[i]));
    // A stalled stream: what is buffered is written on request.
    EXPECT_EQ(writer.Buffered(), 123u);
    ASSERT_TRUE(writer.WriteBuffered());
    EXPECT_EQ(ReadPackets(writer.Path()), packets);
    ASSERT_TRUE(writer.Finish());
    EXPECT_FALSE(writer.Active());
    EXPECT_TRUE(writer.Kept());
    EXPECT_EQ(ReadPackets(writer.Path()), packets);  // the same bytes as one write at the end

    // A record without one whole second is not kept.
    for (const int count : {0, kPacketsPerSecond - 1}) {
        ASSERT_TRUE(writer.Start(dir.Path(), Morning()));
        for (int i = 0; i < count; ++i)
            writer.Store(packets[i]);
        EXPECT_TRUE(writer.Finish());
        EXPECT_FALSE(writer.Kept()) << count;
        EXPECT_FALSE(fs::exists(writer.Path())) << count;
    }
}
