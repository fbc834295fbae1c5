// The serial channel against a real pseudo-terminal fed by the recorder simulator.
#include "device/SerialChannel.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <filesystem>
#include <fstream>

#include "app/AppContext.h"
#include "device/StreamDecoder.h"
#include "tests/device/DecoderProbe.h"
#include "tests/support/PacketFile.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/Simulator.h"
#include "tests/support/TempDir.h"
#include "tools/SyntheticEcg.h"

namespace fs = std::filesystem;

namespace {

class SerialChannelTest : public testing::Test {
protected:
    SerialChannelTest() { EnsureQtApp(); }
    // Port N at 115200 baud, 8N1, bytes to take (dropped when none).
    bool Open(int port, SerialChannel::ByteHandler take = [](uint8_t) {}, char parity = 'N')
    {
        return channel.Open(std::move(take), port, 115200, parity, 8, 1);
    }
    // The record the simulator plays, as a file in the working folder.
    QString Record(const std::vector<DevicePacket>& packets)
    {
        WritePackets(dir.Path() / "sent.cv", packets);
        return QString::fromStdString((dir.Path() / "sent.cv").string());
    }

    RecordingPrompt prompt;
    LanguageTable language;
    TempDir dir{true};  // the working directory, where COM<N> links are looked up
    SerialChannel channel{prompt, language};
};

}  // namespace

// Simulator → pty → SerialChannel → decoder, in real time for three seconds: the
// packets that reach ProcessPacket are exactly the packets sent, in order, fillers removed.
TEST_F(SerialChannelTest, PtyEndToEnd_PacketsArriveExactlyAsSent)
{
    const auto packets = SynthesizeRecord({.noise = 20});
    Simulator sim(dir.Path(), 5, {"--speed", "1", "--seconds", "3", "--filler-every", "37", Record(packets)});
    ASSERT_TRUE(fs::is_symlink(dir.Path() / "COM5"));

    ProbeSink sink;
    StreamDecoder decoder(nullptr, &sink);
    ASSERT_TRUE(Open(5, [&](uint8_t b) { decoder.OnSerialByte(b); }));
    EXPECT_EQ(channel.DeviceName(), QDir::current().filePath("COM5"));
    ASSERT_TRUE(channel.BeginWatching());
    QElapsedTimer clock;
    clock.start();
    sim.Go();

    const size_t want = 3 * kPacketsPerSecond;
    // The last partial block of 48 bytes stays in the decoder until more bytes come.
    ASSERT_TRUE(RunUntil([&] { return sink.recorded.size() + 12 >= want; }, 30000)) << sink.recorded.size();
    EXPECT_GE(clock.elapsed(), 2800);  // paced at 800 packets per second, not faster
    EXPECT_LT(clock.elapsed(), 6000);
    ASSERT_LE(sink.recorded.size(), want);
    EXPECT_TRUE(std::equal(sink.recorded.begin(), sink.recorded.end(), packets.begin()));
    EXPECT_TRUE(prompt.shown.empty()) << prompt.LastText().toStdString();
}

// A port that cannot be opened fails quietly; one that cannot be configured is reported.
TEST_F(SerialChannelTest, OpenFindsPortsAndReportsOnlyFailedSettings)
{
    // No link and far beyond the system's devices: false, and no message.
    EXPECT_FALSE(Open(250));
    EXPECT_FALSE(Open(0));
    EXPECT_FALSE(channel.IsOpen());
    // A COM link to nothing that can be opened: false, no message.
    fs::create_symlink(dir.Path() / "missing", dir.Path() / "COM9");
    EXPECT_FALSE(Open(9));
    std::ofstream(dir.Path() / "COM10") << "not a terminal";
    EXPECT_EQ(SerialChannel::DeviceForPort(10, QDir::currentPath()), QDir::current().filePath("COM10"));
    EXPECT_FALSE(Open(10));  // a plain file is no terminal
    EXPECT_FALSE(channel.BeginWatching());

    Simulator sim(dir.Path(), 4, {"--speed", "1", "--seconds", "1"});
    // Even, mark and space parity need a real UART: the pseudo-terminal refuses them here.
    for (char parity : {'N', 'O'})
        EXPECT_TRUE(channel.Open([](uint8_t) {}, 4, 9600, parity, 8, 2)) << parity;
    EXPECT_TRUE(prompt.shown.empty()) << prompt.LastText().toStdString();

    // An unknown parity cannot be configured: reported in the stop box, the port stays open.
    EXPECT_TRUE(Open(4, [](uint8_t) {}, 'X'));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].caption, Translate(language, "Application Error"));
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Stop);
    EXPECT_TRUE(prompt.shown[0].text.startsWith("WARNING:  SetParity() Failed with the following error: \n"));
    EXPECT_TRUE(prompt.shown[0].text.endsWith("\nPort: 4\n"));
    EXPECT_LE(prompt.shown[0].text.size(), 199);
    EXPECT_TRUE(channel.IsOpen());

    // Reopening an open, watched channel stops the old delivery; watching starts anew.
    ASSERT_TRUE(channel.BeginWatching());
    EXPECT_TRUE(Open(4));
    EXPECT_FALSE(channel.IsWatching());
    channel.Close();
    EXPECT_FALSE(channel.IsOpen());
}

// The port is opened at start-up and watched only from New Patient on: what the recorder sent
// meanwhile fills the port's queue and must not keep the watch from receiving. Suspensions are
// counted, and nothing is lost across them. Then the recorder is unplugged: the failed read is
// reported once, not once per notification, and the dead port is let go instead of waking the
// event loop without end.
TEST_F(SerialChannelTest, HeldBytesArriveUnbrokenAndALostDeviceIsReportedOnce)
{
    const auto packets = SynthesizeRecord(EcgParameters{});
    Simulator sim(dir.Path(), 6, {"--speed", "0", "--loop", "--filler-every", "0", Record(packets)});
    QByteArray bytes;
    ASSERT_TRUE(Open(6, [&](uint8_t b) { bytes.append(char(b)); }));
    sim.Go();
    RunFor(500);
    EXPECT_TRUE(bytes.isEmpty());
    ASSERT_TRUE(channel.BeginWatching());
    ASSERT_TRUE(RunUntil([&] { return bytes.size() >= 400; }, 5000));

    channel.SuspendWatching();
    channel.SuspendWatching();
    const size_t held = bytes.size();
    RunFor(300);
    EXPECT_EQ(bytes.size(), held);
    channel.ResumeWatching();  // one of two: still suspended
    RunFor(200);
    EXPECT_EQ(bytes.size(), held);
    EXPECT_FALSE(channel.IsWatching());
    channel.ResumeWatching();
    EXPECT_TRUE(channel.IsWatching());
    ASSERT_TRUE(RunUntil([&] { return bytes.size() > 100000; }, 10000)) << bytes.size();
    // Nothing lost across the suspension: the bytes are a stretch of the looped record.
    const QByteArray record(reinterpret_cast<const char*>(packets.data()), qsizetype(packets.size() * kPacketBytes));
    const QByteArray loop = record + record + record;
    const qsizetype at = loop.indexOf(bytes.left(4096));
    ASSERT_GE(at, 0);
    EXPECT_TRUE(loop.mid(at, bytes.size()) == bytes);

    sim.Unplug();
    RunUntil([&] { return !prompt.shown.empty(); }, 3000);
    RunFor(500);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_TRUE(prompt.shown[0].text.startsWith("WARNING:  ReadFile() Failed"));
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Stop);
    EXPECT_FALSE(channel.IsOpen());
}
