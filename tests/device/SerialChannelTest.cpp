// The serial channel against a real pseudo-terminal fed by the recorder simulator.
#include "device/SerialChannel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/AppContext.h"
#include "app/LanguageTable.h"
#include "device/StreamDecoder.h"
#include "tests/device/DecoderProbe.h"
#include "tests/support/QtApp.h"
#include "tests/support/PacketFile.h"
#include "tests/support/Simulator.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TempDir.h"
#include "tools/SyntheticEcg.h"

namespace fs = std::filesystem;

namespace {

class SerialChannelTest : public testing::Test {
protected:
    void SetUp() override
    {
        EnsureQtApp();
    }

    RecordingPrompt prompt;
    LanguageTable language;
    TempDir dir{true};  // the working directory, where COM<N> links are looked up
};

}  // namespace

// Simulator → pty → SerialChannel → decoder, in real time for three seconds: the
// packets that reach ProcessPacket are exactly the packets sent, in order, fillers removed.
TEST_F(SerialChannelTest, PtyEndToEnd_PacketsArriveExactlyAsSent)
{
    EcgParameters params;
    EcgPreset("normal", params);
    params.seconds = 12;
    params.noise = 20;
    const auto packets = SynthesizeRecord(params);
    const fs::path record = dir.Path() / "sent1.cv";
    WritePackets(record, packets);

    Simulator sim(dir.Path(), 5, {"--speed", "1", "--seconds", "3", "--filler-every", "37",
                                  QString::fromStdString(record.string())});
    ASSERT_TRUE(fs::is_symlink(dir.Path() / "COM5"));

    ProbeSink sink;
    ProbeFeed feed;
    StreamDecoder decoder(&feed, &sink);
    SerialChannel channel(prompt, language);
    ASSERT_TRUE(channel.Open([&](uint8_t b) { decoder.OnSerialByte(b); }, 5, 115200, 'N', 8, 1));
    EXPECT_EQ(channel.DeviceName(), QDir::current().filePath("COM5"));
    ASSERT_TRUE(channel.BeginWatching());
    QElapsedTimer clock;
    clock.start();
    sim.Go();

    const size_t want = 2400;  // 3 s
    // The last partial block of 48 bytes stays in the decoder until more bytes come.
    ASSERT_TRUE(RunUntil([&] { return sink.recorded.size() + 12 >= want; }, 30000))
        << sink.recorded.size();
    const qint64 elapsed = clock.elapsed();
    EXPECT_GE(elapsed, 2800);  // paced at 800 packets per second, not faster
    EXPECT_LT(elapsed, 6000);
    ASSERT_LE(sink.recorded.size(), want);
    EXPECT_TRUE(std::equal(sink.recorded.begin(), sink.recorded.end(), packets.begin()));
    EXPECT_TRUE(prompt.shown.empty()) << prompt.LastText().toStdString();
}

TEST_F(SerialChannelTest, SuspendedChannelHoldsBytesUntilEveryResume)
{
    const fs::path record = dir.Path() / "r1.cv";
    WritePackets(record, SynthesizeRecord(EcgParameters{}));
    Simulator sim(dir.Path(), 6, {"--speed", "4", "--seconds", "3", "--filler-every", "0",
                                  QString::fromStdString(record.string())});
    std::vector<uint8_t> bytes;
    SerialChannel channel(prompt, language);
    ASSERT_TRUE(channel.Open([&](uint8_t b) { bytes.push_back(b); }, 6, 115200, 'N', 8, 1));
    ASSERT_TRUE(channel.BeginWatching());
    sim.Go();
    ASSERT_TRUE(RunUntil([&] { return bytes.size() >= 400; }, 5000));

    channel.SuspendWatching();
    channel.SuspendWatching();
    const size_t held = bytes.size();
    RunUntil([] { return false; }, 300);
    EXPECT_EQ(bytes.size(), held);
    channel.ResumeWatching();  // one of two: still suspended
    RunUntil([] { return false; }, 200);
    EXPECT_EQ(bytes.size(), held);
    EXPECT_FALSE(channel.IsWatching());
    channel.ResumeWatching();
    EXPECT_TRUE(channel.IsWatching());
    ASSERT_TRUE(RunUntil([&] { return bytes.size() >= 2400 * 4; }, 8000)) << bytes.size();
    // Nothing lost across the suspension: the byte stream is the packets, unbroken.
    const auto packets = SynthesizeRecord(EcgParameters{});
    ASSERT_EQ(bytes.size() % 4, 0u);
    EXPECT_EQ(0, std::memcmp(bytes.data(), packets.data(), bytes.size()));
}

TEST_F(SerialChannelTest, OpenFindsPortsAndFailsQuietly)
{
    SerialChannel channel(prompt, language);
    auto ignore = [](uint8_t) {};
    // No link and far beyond the system's devices: false, and no message.
    EXPECT_FALSE(channel.Open(ignore, 250, 115200, 'N', 8, 1));
    EXPECT_FALSE(channel.Open(ignore, 0, 115200, 'N', 8, 1));
    EXPECT_FALSE(channel.IsOpen());
    // A COM link to nothing that can be opened: false, no message.
    fs::create_symlink(dir.Path() / "missing", dir.Path() / "COM9");
    EXPECT_FALSE(channel.Open(ignore, 9, 115200, 'N', 8, 1));
    std::ofstream(dir.Path() / "COM10") << "not a terminal";
    EXPECT_EQ(SerialChannel::DeviceForPort(10, QDir::currentPath()), QDir::current().filePath("COM10"));
    EXPECT_FALSE(channel.Open(ignore, 10, 115200, 'N', 8, 1));  // a plain file is no terminal
    EXPECT_FALSE(channel.BeginWatching());
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(SerialChannelTest, LineSettingsAndFailureReport)
{
    Simulator sim(dir.Path(), 4, {"--speed", "1", "--seconds", "1"});
    SerialChannel channel(prompt, language);
    auto ignore = [](uint8_t) {};
    // Even, mark and space parity need a real UART: the pseudo-terminal refuses them here.
    for (char parity : {'N', 'O'}) {
        SCOPED_TRACE(parity);
        EXPECT_TRUE(channel.Open(ignore, 4, 9600, parity, 8, 2));
        EXPECT_TRUE(prompt.shown.empty()) << prompt.LastText().toStdString();
    }
    EXPECT_TRUE(prompt.shown.empty()) << prompt.LastText().toStdString();

    // An unknown parity cannot be configured: reported in the stop box, the port stays open.
    EXPECT_TRUE(channel.Open(ignore, 4, 115200, 'X', 8, 1));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].caption, Translate(language, "Application Error"));
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Stop);
    EXPECT_TRUE(prompt.shown[0].text.startsWith("WARNING:  SetParity() Failed with the following error: \n"));
    EXPECT_TRUE(prompt.shown[0].text.endsWith("\nPort: 4\n"));
    EXPECT_LE(prompt.shown[0].text.size(), 199);
    EXPECT_TRUE(channel.IsOpen());

    // Reopening an open, watched channel stops the old delivery; watching starts anew.
    ASSERT_TRUE(channel.BeginWatching());
    EXPECT_TRUE(channel.Open(ignore, 4, 115200, 'N', 8, 1));
    EXPECT_FALSE(channel.IsWatching());
    channel.Close();
    EXPECT_FALSE(channel.IsOpen());
}

// The recorder unplugged: the failed read is reported once, not once per notification, and the
// dead port is let go instead of waking the event loop without end.
TEST_F(SerialChannelTest, LostDeviceIsReportedOnce)
{
    auto sim = std::make_unique<Simulator>(dir.Path(), 8, QStringList{"--speed", "1", "--loop"});
    size_t bytes = 0;
    SerialChannel channel(prompt, language);
    ASSERT_TRUE(channel.Open([&](uint8_t) { ++bytes; }, 8, 115200, 'N', 8, 1));
    ASSERT_TRUE(channel.BeginWatching());
    sim->Go();
    ASSERT_TRUE(RunUntil([&] { return bytes > 1000; }, 5000));
    sim->process.kill();
    sim.reset();
    RunUntil([&] { return !prompt.shown.empty(); }, 3000);
    RunUntil([] { return false; }, 500);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_TRUE(prompt.shown[0].text.startsWith("WARNING:  ReadFile() Failed"));
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Stop);
    EXPECT_FALSE(channel.IsOpen());
}

// The port is opened at start-up and watched only from New Patient on: whatever the recorder
// sent meanwhile, filling the port's queue, must not keep the watch from receiving.
TEST_F(SerialChannelTest, WatchBegunAfterTheQueueFilledStillReceives)
{
    Simulator sim(dir.Path(), 9, {"--speed", "0", "--loop"});
    size_t bytes = 0;
    SerialChannel channel(prompt, language);
    ASSERT_TRUE(channel.Open([&](uint8_t) { ++bytes; }, 9, 115200, 'N', 8, 1));
    sim.Go();
    RunFor(500);
    EXPECT_EQ(bytes, 0u);
    ASSERT_TRUE(channel.BeginWatching());
    EXPECT_TRUE(RunUntil([&] { return bytes > 100000; }, 10000)) << bytes;
}
