// The serial channel against a real pseudo-terminal fed by the recorder simulator.
#include "acquisition/SerialChannel.h"

#include <gtest/gtest.h>

#include <QDir>
#include <filesystem>
#include <fstream>

#include "dialogs/AppContext.h"
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
    SerialChannelTest()
    {
        EnsureQtApp();
        // Shown as the window shows a failure of its channel.
        QObject::connect(&channel, &SerialChannel::failed, &channel, [this](const QString& text) {
            prompt.Show(Translate(language, "Application Error"), text, PromptIcon::Stop,
                        PromptButtons::Ok);
        });
    }
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
    SerialChannel channel;
};

}  // namespace

// A port that cannot be opened fails quietly; one that cannot be configured is reported.
// Then simulator → pty → SerialChannel → decoder. The port is opened at start-up and watched only
// from New Patient on: what the recorder sent meanwhile fills the port's queue and must not keep
// the watch from receiving. Suspensions are counted. The packets that reach ProcessPacket are
// exactly those sent, in order, fillers removed, nothing lost across the suspension. Then the
// recorder is unplugged: the failed read is reported once, not once per notification, and the
// dead port is let go instead of waking the event loop without end.
TEST_F(SerialChannelTest, PtyEndToEnd_PacketsArriveExactlyAsSentAndOnlyFailuresAreReported)
{
    // No link and far beyond the system's devices, a link to nothing, a plain file: false, no message.
    // The link to nothing is the port all the same, never the system's first device.
    EXPECT_FALSE(Open(250));
    EXPECT_FALSE(Open(0));
    fs::create_symlink(dir.Path() / "unplugged", dir.Path() / "COM1");
    EXPECT_FALSE(Open(1));
    EXPECT_EQ(channel.DeviceName(), QDir::current().filePath("COM1"));
    std::ofstream(dir.Path() / "COM10") << "not a terminal";
    EXPECT_FALSE(Open(10));
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_FALSE(channel.BeginWatching());

    const auto packets = SynthesizeRecord({.noise = 20});
    Simulator sim(dir.Path(), 6, {"--speed", "20", "--loop", "--filler-every", "37", Record(packets)});
    // Even, mark and space parity need a real UART: the pseudo-terminal refuses them here.
    for (char parity : {'N', 'O'})
        EXPECT_TRUE(channel.Open([](uint8_t) {}, 6, 9600, parity, 8, 2)) << parity;
    EXPECT_TRUE(prompt.shown.empty()) << prompt.LastText().toStdString();
    // An unknown parity cannot be configured: reported in the stop box, the port stays open.
    EXPECT_TRUE(Open(6, [](uint8_t) {}, 'X'));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].caption, Translate(language, "Application Error"));
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Stop);
    EXPECT_TRUE(prompt.shown[0].text.startsWith("WARNING:  SetParity() Failed with the following error: \n"));
    EXPECT_TRUE(prompt.shown[0].text.endsWith("\nPort: 6\n"));
    EXPECT_LE(prompt.shown[0].text.size(), 199);
    EXPECT_TRUE(channel.IsOpen());
    prompt.Clear();

    // Reopening an open, watched channel stops the old delivery; watching starts anew.
    ASSERT_TRUE(channel.BeginWatching());
    ProbeSink sink;
    StreamDecoder decoder(nullptr, &sink);
    const auto& got = sink.recorded;
    ASSERT_TRUE(Open(6, [&](uint8_t b) { decoder.OnSerialByte(b); }));
    EXPECT_FALSE(channel.IsWatching());
    EXPECT_EQ(channel.DeviceName(), QDir::current().filePath("COM6"));
    sim.Go();
    RunFor(500);
    EXPECT_TRUE(got.empty());
    ASSERT_TRUE(channel.BeginWatching());
    ASSERT_TRUE(RunUntil([&] { return got.size() >= 100; }, 5000));

    channel.SuspendWatching();
    channel.SuspendWatching();
    const size_t held = got.size();
    RunFor(300);
    EXPECT_EQ(got.size(), held);
    channel.ResumeWatching();  // one of two: still suspended
    RunFor(200);
    EXPECT_EQ(got.size(), held);
    EXPECT_FALSE(channel.IsWatching());
    channel.ResumeWatching();
    EXPECT_TRUE(channel.IsWatching());
    ASSERT_TRUE(RunUntil([&] { return got.size() > packets.size() + 1000; }, 20000)) << got.size();
    // Nothing lost: the packets are a stretch of the looped record.
    std::vector<DevicePacket> loop = packets;
    loop.insert(loop.end(), packets.begin(), packets.end());
    const size_t at = std::search(loop.begin(), loop.end(), got.begin(), got.begin() + 64) - loop.begin();
    ASSERT_LT(at, packets.size());
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], packets[(at + i) % packets.size()]) << i;
    EXPECT_TRUE(prompt.shown.empty()) << prompt.LastText().toStdString();

    sim.Unplug();
    RunUntil([&] { return !prompt.shown.empty(); }, 3000);
    RunFor(500);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_TRUE(prompt.shown[0].text.startsWith("WARNING:  ReadFile() Failed"));
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Stop);
    EXPECT_FALSE(channel.IsOpen());
}
