// One second of live signal along the path the main window wires, at the recorder's pace: the
// recorder's bytes (with its fillers) written into a pseudo-terminal linked as COM3, read by the
// serial channel's reader thread, which hands them to the recording (written by its writer thread
// once a second) and to the buffer the display takes them from at frame rate; decoded again there
// with the live analysis, drawn into the panel images, and the 60 screen refreshes of that second
// painted. Goal: all of it under 2 % of one core, i.e. 20 ms of CPU (every thread, the writes
// into the pseudo-terminal included) per second of signal; "core_share" is that fraction and
// "reader_share" the reader thread's own. Runs headless (offscreen). bench/live_load.sh measures
// the whole program reading the simulator.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <pthread.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "acquisition/SerialChannel.h"
#include "acquisition/StreamRecorder.h"
#include "foundation/LanguageTable.h"
#include "record/EngineFeed.h"
#include "tools/SyntheticEcg.h"
#include "ui/WaveformDisplay.h"
#include "ui/WindowLayout.h"

namespace {

// What the window does with a decoded packet.
class DisplaySink : public PacketSink {
public:
    explicit DisplaySink(WaveformDisplay& display) : display_(display) {}
    PacketModes Modes() const override { return {}; }
    bool RecordStep(const DevicePacket&, const PacketFields&) override { return true; }
    void DrawPoint(uint8_t lead, int16_t sample) override { display_.DrawPoint(lead, sample); }
    void UpdateLeadLabels(uint8_t lead, int speed, int gain, int filter, int mode, int range) override
    {
        display_.UpdateLeadLabels(lead, speed, gain, filter, mode, range);
    }

private:
    WaveformDisplay& display_;
};

double CpuSeconds(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The recorder's end of a pseudo-terminal, its other end linked as <folder>/COM3.
int OpenRecorderEnd(const QString& folder)
{
    const int fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0)
        return -1;
    std::filesystem::create_symlink(ptsname(fd), (folder + "/COM3").toStdString());
    return fd;
}

void BM_LiveSecond(benchmark::State& state)
{
    QTemporaryDir dir;
    LanguageTable language;
    language.SetDirectory(CORVIDA_SOURCE_DIR "/language");
    language.Scan();
    language.Load("English");
    const auto engine = std::make_unique<AnalysisEngine>();
    // The bytes of a record as the recorder sends them: a five-byte filler after every 37 packets.
    std::vector<uint8_t> stream;
    int sinceFiller = 0;
    for (const DevicePacket& p : SynthesizeRecord(EcgParameters{})) {
        stream.insert(stream.end(), p.begin(), p.end());
        if (++sinceFiller == 37) {
            sinceFiller = 0;
            stream.insert(stream.end(), 5, kFillerByte);
        }
    }
    const WindowLayout layout = ComputeLayout(1920, 1080);
    WaveformDisplay display(language);
    display.SetLayout(layout.leadRect, layout.labelRect);
    DisplaySink sink(display);
    EngineFeed feed(*engine);
    StreamDecoder decoder(&feed, &sink);
    StreamRecorder recorder;
    // The reader thread's CPU clock, learnt on that thread from its first chunk.
    std::atomic<clockid_t> readerClock{0};
    std::atomic<bool> readerKnown{false};
    SerialChannel channel([&](const uint8_t* bytes, std::size_t count) {
        if (!readerKnown.load(std::memory_order_relaxed)) {
            clockid_t clock{};
            pthread_getcpuclockid(pthread_self(), &clock);
            readerClock = clock;
            readerKnown = true;
        }
        recorder.TakeBytes(bytes, count);
    });
    const QString home = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const int port = OpenRecorderEnd(dir.path());
    if (port < 0 || !channel.Open([&decoder](uint8_t byte) { decoder.OnSerialByte(byte); }, 3, 115200, 'N', 8, 1)
        || !channel.BeginWatching()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    recorder.Start(dir.path().toStdString(), std::time(nullptr));
    QImage screen(1920, 1080, QImage::Format_RGB32);

    const std::size_t perSecond = stream.size() / kRecordSeconds;
    std::size_t next = 0;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    double readerStart = 0;
    int frames = 0;
    for (auto _ : state) {
        for (int frame = 0; frame < 60; ++frame, ++frames) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(frames * 1000000LL / 60));
            const std::size_t n = std::min(perSecond / 60 + (frame < int(perSecond % 60) ? 1 : 0),
                                           stream.size() - next);
            if (write(port, stream.data() + next, n) != ssize_t(n))
                state.SkipWithError("the pseudo-terminal takes no more");
            next = (next + n) % stream.size();
            if (frames == 0) {  // the reader's clock is known once the first bytes are read
                while (!readerKnown)
                    std::this_thread::yield();
                readerStart = CpuSeconds(readerClock);
            }
            QCoreApplication::processEvents();  // the display takes what arrived
            QPainter painter(&screen);
            display.PaintLeads(painter, display.TakeDirty());
        }
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.counters["core_share"] = (CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart) / wall;
    state.counters["reader_share"] = (CpuSeconds(readerClock) - readerStart) / wall;
    state.counters["recording"] = recorder.Failed() ? 0 : 1;
    channel.Close();
    recorder.Stop();
    close(port);
    QDir::setCurrent(home);
}
BENCHMARK(BM_LiveSecond)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
