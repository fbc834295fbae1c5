// Loading plus analysing one full 48 s record through the review loader (38400 packets read,
// fed, twelve segments closed, RunAnalysis), and the engine's part of it alone.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "analysis/AnalysisEngine.h"
#include "foundation/LanguageTable.h"
#include "record/RecordFile.h"
#include "tools/SyntheticEcg.h"

namespace {

// A record of the generator's normal preset in the temporary folder, written once.
const std::filesystem::path& RecordPath()
{
    static const std::filesystem::path path = [] {
        const std::filesystem::path p =
            std::filesystem::temp_directory_path() / "corvida-analysis-bench.cv";
        const auto packets = SynthesizeRecord(EcgParameters{});
        std::FILE* f = std::fopen(p.c_str(), "wb");
        if (f) {
            std::fwrite(packets.data(), kPacketBytes, packets.size(), f);
            std::fclose(f);
        }
        return p;
    }();
    return path;
}

const LanguageTable& English()
{
    static const LanguageTable table = [] {
        LanguageTable t;
        t.SetDirectory(std::string(CORVIDA_SOURCE_DIR) + "/language");
        t.Scan();
        t.Load("English");
        return t;
    }();
    return table;
}

void BM_LoadAndAnalyseRecord(benchmark::State& state)
{
    AnalysisEngine engine;
    ConclusionLines lines;
    ReviewRecord review;
    for (auto _ : state) {
        LoadForReview(RecordPath(), engine, English(), lines, review);
        benchmark::DoNotOptimize(engine.Measurements());
    }
    if (!review.analysed)
        state.SkipWithError("record not analysed");
}
BENCHMARK(BM_LoadAndAnalyseRecord)->Unit(benchmark::kMillisecond);

// The same work from packets already in memory: what the engine itself costs, without the
// file reads and the review point list.
void BM_FeedAndAnalysePackets(benchmark::State& state)
{
    const auto packets = SynthesizeRecord(EcgParameters{});
    AnalysisEngine engine;
    ConclusionLines lines;
    for (auto _ : state) {
        engine.ClearRecordState();
        engine.ResetLeadState();
        engine.EmptyInput();
        for (size_t i = 0; i < packets.size(); ++i) {
            const PacketFields f = ExtractFields(packets[i].data());
            if (i % 2 == 0)
                engine.PushSample(f.sample);
            engine.ProcessSample(f.leadIndex);
            if ((i + 1) % kPacketsPerLead == 0) {
                engine.FinishLead(f.leadIndex);
                engine.ResetLeadState();
                engine.EmptyInput();
            }
        }
        benchmark::DoNotOptimize(engine.RunAnalysis(lines, English()));
    }
}
BENCHMARK(BM_FeedAndAnalysePackets)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
