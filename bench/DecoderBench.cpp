// Decoding a 48 s byte stream and reading a full record. The decoder's goal: at least 20 million
// packets per second on one core (25 000 times the recorder's rate) and no allocation per packet;
// the "allocs" counter counts operator new calls inside the timed loop.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>

#include "foundation/LanguageTable.h"
#include "device/StreamDecoder.h"
#include "record/RecordFile.h"
#include "tools/SyntheticEcg.h"

namespace {

std::atomic<long> gAllocations{0};

}  // namespace

void* operator new(std::size_t size)
{
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// Engine calls stubbed out: they only keep the values alive.
struct NullFeed final : AnalysisFeed {
    int32_t sink = 0;
    void PushSample(int32_t v) override { sink += v; }
    void ProcessSample(uint8_t lead) override { sink += lead; }
    void FinishLead(uint8_t lead) override { sink += lead; }
    void ResetLeadState() override {}
    void EmptyInput() override {}
};

struct CountingSink final : PacketSink {
    PacketModes modes{false, false, false, 1};
    long stored = 0, drawn = 0;
    PacketModes Modes() const override { return modes; }
    bool RecordStep(const DevicePacket&, const PacketFields&) override
    {
        ++stored;
        return true;
    }
    void DrawPoint(uint8_t, int16_t s) override { drawn += s; }
    void UpdateLeadLabels(uint8_t, int, int, int, int, int) override {}
};

// The recorder's stream of one record: packets with a five-byte filler after every 37.
const std::vector<uint8_t>& Stream()
{
    static const std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> out;
        const auto packets = SynthesizeRecord(EcgParameters{});
        int since = 0;
        for (const DevicePacket& p : packets) {
            out.insert(out.end(), p.begin(), p.end());
            if (++since == 37) {
                since = 0;
                out.insert(out.end(), 5, kFillerByte);
            }
        }
        return out;
    }();
    return bytes;
}

const std::filesystem::path& RecordPath()
{
    static const std::filesystem::path path = [] {
        const auto p = std::filesystem::temp_directory_path() / "corvida-bench-record1.cv";
        const auto packets = SynthesizeRecord(EcgParameters{});
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(packets.data()),
                   static_cast<std::streamsize>(packets.size() * kPacketBytes));
        return p;
    }();
    return path;
}

void BM_DecodeStreamByteByByte(benchmark::State& state)
{
    const auto& bytes = Stream();
    NullFeed feed;
    CountingSink sink;
    StreamDecoder decoder(&feed, &sink);
    const long before = gAllocations.load();
    for (auto _ : state) {
        for (uint8_t b : bytes)
            decoder.OnSerialByte(b);
        benchmark::DoNotOptimize(feed.sink);
    }
    state.counters["allocs"] = static_cast<double>(gAllocations.load() - before);
    state.SetItemsProcessed(state.iterations() * kPacketsPerRecord);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_DecodeStreamByteByByte)->Unit(benchmark::kMicrosecond);

void BM_DecodeStreamBlocks(benchmark::State& state)
{
    const auto& bytes = Stream();
    NullFeed feed;
    CountingSink sink;
    StreamDecoder decoder(&feed, &sink);
    const long before = gAllocations.load();
    for (auto _ : state) {
        decoder.DecodeBlock(bytes.data(), bytes.size());
        benchmark::DoNotOptimize(feed.sink);
    }
    state.counters["allocs"] = static_cast<double>(gAllocations.load() - before);
    state.SetItemsProcessed(state.iterations() * kPacketsPerRecord);
}
BENCHMARK(BM_DecodeStreamBlocks)->Unit(benchmark::kMicrosecond);

void BM_ReadRecordFile(benchmark::State& state)
{
    const auto& path = RecordPath();
    std::vector<DevicePacket> chunk(3072);
    for (auto _ : state) {
        RecordFile file;
        file.Open(path);
        size_t total = 0;
        while (size_t got = file.Read(chunk.data(), chunk.size()))
            total += got;
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * kPacketsPerRecord);
}
BENCHMARK(BM_ReadRecordFile)->Unit(benchmark::kMicrosecond);

// The whole review load: read, point list, engine feed and the analysis.
void BM_LoadForReview(benchmark::State& state)
{
    const auto& path = RecordPath();
    auto engine = std::make_unique<AnalysisEngine>();
    LanguageTable language;
    ConclusionLines lines;
    ReviewRecord review;
    for (auto _ : state) {
        LoadForReview(path, *engine, language, lines, review);
        benchmark::DoNotOptimize(review.points.data());
    }
    state.SetItemsProcessed(state.iterations() * kPacketsPerRecord);
}
BENCHMARK(BM_LoadForReview)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
