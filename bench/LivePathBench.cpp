// One second of live signal along the path the main window wires, at the recorder's pace: the
// port's bytes (with the recorder's fillers) taken by the recording on the reading thread and
// written by its writer thread once a second, decoded again for the display with the live
// analysis, drawn into the panel images, and the 60 screen refreshes of that second painted.
// Goal: all of it under 2 % of one core, i.e. 20 ms of CPU (every thread) per second of signal;
// "core_share" is that fraction. Runs headless (offscreen). bench/live_load.sh measures the whole
// program reading a pseudo-terminal.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

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

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
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
    recorder.Start(dir.path().toStdString(), std::time(nullptr));
    QImage screen(1920, 1080, QImage::Format_RGB32);

    const std::size_t perSecond = stream.size() / kRecordSeconds;
    std::size_t next = 0;
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ProcessCpuSeconds();
    int frames = 0;
    for (auto _ : state) {
        for (int frame = 0; frame < 60; ++frame, ++frames) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(frames * 1000000LL / 60));
            const std::size_t n = std::min(perSecond / 60 + (frame < int(perSecond % 60) ? 1 : 0),
                                           stream.size() - next);
            recorder.TakeBytes(stream.data() + next, n);
            for (std::size_t i = 0; i < n; ++i)
                decoder.OnSerialByte(stream[next + i]);
            next = (next + n) % stream.size();
            QPainter painter(&screen);
            display.PaintLeads(painter, display.TakeDirty());
        }
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.counters["core_share"] = (ProcessCpuSeconds() - cpuStart) / wall;
    state.counters["recording"] = recorder.Failed() ? 0 : 1;
    recorder.Stop();
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
