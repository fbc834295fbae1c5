// One second of live signal through the main window: 800 packets decoded, drawn into the panel
// images and buffered for the record file (a full block written every 48 s), and the 60 screen
// refreshes of that second. Goal: under 5 % of one core, i.e. under 50 ms per second of signal;
// "core_share" is that fraction. Runs headless (offscreen).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <vector>

#include "dialogs/AppContext.h"
#include "dialogs/Prompt.h"
#include "tools/SyntheticEcg.h"
#include "ui/MainWindow.h"

namespace {

class SilentPrompt : public Prompt {
public:
    PromptAnswer Show(const QString&, const QString&, PromptIcon, PromptButtons) override
    {
        return PromptAnswer::Ok;
    }
    QString ChooseFolder(const QString&) override { return {}; }
    bool ChoosePrinter(QPrinter&) override { return false; }
};

void BM_LiveSecond(benchmark::State& state)
{
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    QDir().mkpath("Data/1");
    SilentPrompt prompt;
    AppSettings settings;
    settings.languageName = "English";
    LanguageTable language;
    language.SetDirectory(CORVIDA_SOURCE_DIR "/language");
    language.Scan();
    const auto engine = std::make_unique<AnalysisEngine>();
    const std::vector<DevicePacket> record = SynthesizeRecord(EcgParameters{});
    {
        MainWindow window(AppContext{settings, language, prompt, *engine});
        window.show();
        window.GetSession().SetPortOpen(true);
        window.State().dataDirectory = "Data/1";
        window.AcceptNewPatient();
        window.Buttons().record->click();
        std::size_t next = 0;
        for (auto _ : state) {
            for (int frame = 0; frame < 60; ++frame) {
                const int packets = frame < 20 ? 14 : 13;  // 800 in 60 frames
                for (int i = 0; i < packets; ++i) {
                    window.Decoder().ProcessPacket(record[next]);
                    next = (next + 1) % record.size();
                }
                window.repaint(window.Display().TakeDirty());
            }
        }
        window.Buttons().record->click();
    }
    state.counters["core_share"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate
                                                                        | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LiveSecond)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" CORVIDA_SOURCE_DIR
                               "/tests/ui/screen-1920x1080.json");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
