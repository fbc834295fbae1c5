// Recording from the recorder into the patient's folder and the review that follows, driven
// through the real window; the recorder is the simulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include <sys/statvfs.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include "app/TerminationSignals.h"
#include "tests/support/SmallDisk.h"
#include "tests/ui/LiveWindow.h"

using namespace live;

namespace {

const bool kScreen = UseFullHdScreen();

class Recording : public LiveWindow {
protected:
    // Start Record with the recorder held back, then the stream from its first packet (lead I).
    // The record file it made.
    fs::path StartRecord(const fs::path& folder)
    {
        const std::vector<fs::path> before = Records(folder);
        prompt.Clear();
        window->Buttons().record->click();
        EXPECT_TRUE(IsRecording()) << prompt.LastText().toStdString();
        recorder->Go();
        for (const fs::path& record : Records(folder))
            if (std::find(before.begin(), before.end(), record) == before.end())
                return record;
        return {};
    }
    static std::vector<DevicePacket> First(const std::vector<DevicePacket>& packets, std::size_t n)
    {
        return {packets.begin(), packets.begin() + std::min(n, packets.size())};
    }
};

}  // namespace

TEST_F(Recording, AWindowBlockedForTenSecondsLosesNoPacket_AndEndingTheProgramKeepsTheRecord)
{
    const std::vector<DevicePacket> source = NormalRecord();
    // Start Record while V6 ends: the record begins where lead I does.
    std::vector<DevicePacket> stream(source.end() - kPacketsPerSecond, source.end());
    stream.insert(stream.end(), source.begin(), source.end());
    PlugRecorder(stream, {"--seconds", "12"});
    OpenWindow();
    const fs::path path = StartRecord(NewPatient());
    EXPECT_EQ(fs::file_size(path), 0u);  // made at Start
    // The window's thread handles nothing for 13 s: no byte, no event, no paint.
    std::this_thread::sleep_for(std::chrono::seconds(13));
    // Meanwhile the stream ended after 12 s, and all but its last second at most is on the disk.
    EXPECT_GE(fs::file_size(path), 10u * kBytesPerSecond);

    // What the program does (app/main.cpp) when it is ended from outside.
    TerminationSignals ending;
    ASSERT_TRUE(ending.Installed());
    QObject::connect(&ending, &TerminationSignals::received,
                     [](int number) { QCoreApplication::exit(128 + number); });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, window.get(), &MainWindow::EndRecording);
    ::kill(::getpid(), SIGTERM);
    EXPECT_EQ(QCoreApplication::exec(), 128 + SIGTERM);
    EXPECT_FALSE(IsRecording());
    EXPECT_EQ(ReadPackets(path), First(source, 11 * kPacketsPerSecond));
    EXPECT_TRUE(prompt.shown.empty()) << prompt.LastText().toStdString();
}

// The disk fills for a while, the record is deleted, or another file takes its place: the
// recording stops with "save error", nothing is appended after the gap and no file is made again.
TEST_F(Recording, AWriteThatFailsStopsTheRecordingAndKeepsTheWholeSecondsWritten)
{
    const std::vector<DevicePacket> source = NormalRecord();
    const std::vector<DevicePacket> other = NormalRecord(2, 2);
    enum Fault { kDeleted, kReplaced, kDiskFull };
    for (const Fault fault : {kDeleted, kReplaced, kDiskFull}) {
        SCOPED_TRACE(fault);
        std::optional<SmallDisk> disk;
        if (fault == kDiskFull && !disk.emplace("Data", "64k").Mounted())
            GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
        PlugRecorder(source, {"--loop"});
        OpenWindow();
        const fs::path folder = NewPatient();
        if (fault == kDiskFull) {
            // Room for some 3.8 s of record.
            struct statvfs room {};
            ASSERT_EQ(statvfs("Data", &room), 0);
            std::ofstream("Data/filler") << std::string(room.f_bavail * room.f_bsize - 3 * 4096, 'x');
        }
        const fs::path path = StartRecord(folder);
        if (fault != kDiskFull) {
            ASSERT_TRUE(RunUntil([&] { return fs::file_size(path) >= 2 * kBytesPerSecond; }, 5000));
            fs::rename(path, "moved.cv");
            if (fault == kReplaced)
                WritePackets(path, other);
        }
        ASSERT_TRUE(RunUntil([&] { return !IsRecording(); }, 7000));
        fs::remove("Data/filler");  // the disk empties; the stopped recording stays stopped
        RunFor(1500);
        EXPECT_EQ(prompt.Texts(), QStringList{"save error"});
        EXPECT_FALSE(IsRecording());
        if (fault == kDeleted) {
            EXPECT_FALSE(fs::exists(path));
            EXPECT_FALSE(IsReviewing());
        } else if (fault == kReplaced) {
            EXPECT_EQ(ReadPackets(path), other);
        } else {
            const std::vector<DevicePacket> stored = ReadPackets(path);
            EXPECT_EQ(fs::file_size(path) % kBytesPerSecond, 0u);
            EXPECT_GE(stored.size(), 2u * kPacketsPerSecond);
            EXPECT_EQ(stored, First(source, stored.size()));
            EXPECT_TRUE(IsReviewing());
        }
        window.reset();
    }
}

// Line noise, or a true record played at twice the recorder's pace, is not the recorder's stream:
// the recording stops and says so, and what was stored before stays whole.
TEST_F(Recording, NoiseOrAStreamFarTooFastIsNotRecorded)
{
    std::vector<DevicePacket> noise(62 * kPacketsPerSecond);
    std::mt19937 random(7);
    for (DevicePacket& p : noise)
        for (uint8_t& byte : p)
            byte = static_cast<uint8_t>(random());
    const std::vector<DevicePacket> source = NormalRecord();
    const struct {
        const std::vector<DevicePacket>& packets;
        QStringList options;
        std::size_t kept;
    } streams[] = {{noise, {"--raw"}, 0}, {source, {"--speed", "2"}, kPacketsPerLead}};
    for (const auto& stream : streams) {
        PlugRecorder(stream.packets, stream.options);
        OpenWindow();
        const fs::path folder = NewPatient();
        StartRecord(folder);
        ASSERT_TRUE(RunUntil([&] { return !IsRecording(); }, 8000));
        EXPECT_EQ(prompt.Texts(), QStringList{"The port does not carry an ECG recorder's stream."});
        const std::vector<fs::path> records = Records(folder);
        EXPECT_EQ(records.size(), stream.kept ? 1u : 0u);
        if (stream.kept) {
            EXPECT_EQ(ReadPackets(records.at(0)), First(source, stream.kept));
        }
        EXPECT_EQ(IsReviewing(), stream.kept > 0);
    }
}

// A record chosen in History View is reviewed (a damaged one says where), and leaving History
// lets Start Record record and Real-Time View draw the live stream again.
TEST_F(Recording, HistoryViewThenStartRecordAndRealTimeViewWork)
{
    // A 20 mm/mV, 60 Hz record that lost 400 packets inside aVF.
    EcgParameters params;
    EcgPreset("normal", params);
    params.gainCode = 2;
    params.filterCode = 3;
    const std::vector<DevicePacket> source = SynthesizeRecord(params);
    std::vector<DevicePacket> damaged = source;
    damaged.erase(damaged.begin() + 17000, damaged.begin() + 17400);
    PlugRecorder(source);
    OpenWindow();
    const fs::path folder = NewPatient();
    WritePackets(folder / "m202603071405.cv", damaged);
    prompt.Clear();
    ViewFirstRecord();
    EXPECT_EQ(prompt.Texts(), QStringList{"record damaged at 23 s"});
    EXPECT_TRUE(IsReviewing());
    EXPECT_EQ(app.engine->Measurements().heartRate, 0);  // fewer than twelve whole leads
    // Every panel states its own lead's review labels.
    window->grab();
    const char* const texts[5] = {"20mm/s", "60Hz", "20mm/mV", "MONITOR", "IN RANGE"};
    for (int lead = 0; lead < kLeadCount; ++lead)
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(window->Display().LabelText(lead, k + 1).toStdString(), texts[k]) << lead << " " << k;
    // Shown from its last whole second; "<" and ">" page it, drawn up to the second shown.
    QPushButton& prev = *window->Buttons().prev;
    QPushButton& next = *window->Buttons().next;
    next.click();
    EXPECT_FALSE(next.isEnabled());
    EXPECT_TRUE(PanelHasTrace(kLeadV6));
    int seconds = 0;
    for (; prev.isEnabled() && seconds < 100; prev.click())
        ++seconds;
    EXPECT_EQ(seconds, 47);
    window->grab();
    EXPECT_FALSE(PanelHasTrace(kLeadV6));
    next.click();
    EXPECT_TRUE(next.isEnabled() && prev.isEnabled());

    const fs::path path = StartRecord(folder);
    window->Buttons().realTime->click();
    ASSERT_TRUE(RunUntil([&] { return PanelHasTrace(kLeadI); }, 5000));
    window->grab();
    EXPECT_EQ(window->Display().LabelText(kLeadI, 1), "25mm/s");  // live drawing keeps its speed
    EXPECT_EQ(window->Display().LabelText(kLeadI, 3), "20mm/mV");
    ASSERT_TRUE(RunUntil([&] { return fs::file_size(path) >= kBytesPerSecond; }, 5000));
    window->Buttons().record->click();
    EXPECT_TRUE(IsReviewing());
    EXPECT_TRUE(prompt.shown.empty()) << prompt.LastText().toStdString();
}

// Start is refused when the record file cannot be made: said at once, and Start may be tried
// again once the folder is mended.
TEST_F(Recording, StartIsRefusedWhenTheFolderTakesNoFile)
{
    PlugRecorder(NormalRecord(1));
    OpenWindow();
    for (const bool readOnlyMount : {false, true}) {
        SCOPED_TRACE(readOnlyMount ? "a read-only file system" : "a file where the folder should be");
        const fs::path folder = NewPatient();
        std::optional<SmallDisk> disk;
        if (!readOnlyMount) {
            fs::remove_all(folder);
            std::ofstream(folder) << "in the way";
        } else if (!disk.emplace(folder, "64k", MS_RDONLY).Mounted()) {
            continue;  // mounting needs root
        }
        prompt.Clear();
        window->Buttons().record->click();
        window->Buttons().record->click();
        EXPECT_EQ(prompt.Texts(), QStringList({"save error", "save error"}));
        EXPECT_FALSE(IsRecording());
        EXPECT_EQ(window->Buttons().record->text(), "Start Recording");
    }
}
