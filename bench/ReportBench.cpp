// The whole report of a 48 s record written as a PDF (A4, 600 dpi): reading and decoding the
// record, analysing it, laying out the pages and drawing strips, grid and summary. Goal: at most
// 300 ms per report. The parts are measured alone as well, to show where the time goes.
#include <QApplication>
#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>

#include "foundation/LanguageTable.h"
#include "report/ReportRecord.h"
#include "report/ReportLayout.h"
#include "tools/SyntheticEcg.h"

namespace {

// The texts the report is handed, English from the source tree.
LanguageTable english;

const std::string& RecordPath()
{
    static const std::string path = [] {
        EcgParameters p;
        EcgPreset("normal", p);
        const std::vector<DevicePacket> packets = SynthesizeRecord(p);
        const auto file = std::filesystem::temp_directory_path() / "corvida-bench-m200903071405.cv";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(packets.data()),
                   static_cast<std::streamsize>(packets.size() * sizeof(DevicePacket)));
        return file.string();
    }();
    return path;
}

// Lays out and draws one report into an in-memory PDF; returns its size in bytes.
qint64 WritePdf(ReportLayout& layout)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(kDefaultReportDpi);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    layout.MeasureDevice(writer);
    QPainter painter(&writer);
    layout.RenderDocument(painter, writer);
    painter.end();
    return buffer.size();
}

void BM_FullReportToPdf(benchmark::State& state)
{
    const QString path = QString::fromStdString(RecordPath());
    const int speed = static_cast<int>(state.range(0));
    qint64 bytes = 0;
    for (auto _ : state) {
        ReportRecord record = ReadReportRecord(path, speed, english);
        ReportLayout layout(std::move(record.content),
                            BuildReportHeader(nullptr, RecordDateText(path), english),
                            std::move(record.summary), english);
        bytes = WritePdf(layout);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["pdf_kB"] = static_cast<double>(bytes) / 1024;
}
BENCHMARK(BM_FullReportToPdf)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_ReadAndAnalyseRecord(benchmark::State& state)
{
    const QString path = QString::fromStdString(RecordPath());
    for (auto _ : state) {
        ReportRecord record = ReadReportRecord(path, 1, english);
        benchmark::DoNotOptimize(record.summary.measurements.heartRate);
    }
}
BENCHMARK(BM_ReadAndAnalyseRecord)->Unit(benchmark::kMillisecond);

void BM_LayoutAndDrawOnly(benchmark::State& state)
{
    const QString path = QString::fromStdString(RecordPath());
    ReportRecord record = ReadReportRecord(path, 1, english);
    for (auto _ : state) {
        ReportLayout layout(record.content, BuildReportHeader(nullptr, {}, english), record.summary,
                            english);
        benchmark::DoNotOptimize(WritePdf(layout));
    }
}
BENCHMARK(BM_LayoutAndDrawOnly)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    english.SetDirectory(CORVIDA_SOURCE_DIR "/language/");
    english.Scan();
    english.Load("English");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove(RecordPath());
    return 0;
}
