// Storing patients one by one up to the 400-row limit, and the history query over a full table.
// Each store is three statements in autocommit mode, so the figure is dominated by the file's
// sync per insert; the query reads the whole result into memory.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <filesystem>

#include "db/AdoRecordSet.h"
#include "db/AppDatabase.h"
#include "db/PatientStore.h"

namespace {

PatientRecord Facts(int i)
{
    PatientRecord p;
    p.Name = i % 3 == 0 ? QString("Li %1").arg(i) : QString("王小明 %1").arg(i);
    p.Age = 40;
    p.Height = 170;
    p.Weight = 70;
    p.Other = "note";
    p.ClinicalNo = QString("%1").arg(i, 8, 10, QChar('0'));
    return p;
}

// A fresh empty database in its own working folder.
struct FreshDatabase {
    QTemporaryDir dir;
    FreshDatabase()
    {
        QDir::setCurrent(dir.path());
        std::filesystem::copy_file(CORVIDA_APP_DIR "/Corvida.mdb", "Corvida.mdb");
        AppDatabase::Instance().Open("Corvida.mdb");
    }
    ~FreshDatabase() { AppDatabase::Instance().Close(); }
};

void BM_StoreFourHundredPatients(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        FreshDatabase db;
        const QDateTime start = QDateTime::currentDateTime();
        state.ResumeTiming();
        for (int i = 0; i < kMaxPatientRows; ++i)
            benchmark::DoNotOptimize(StorePatient(Facts(i), start.addSecs(i)));
    }
}
BENCHMARK(BM_StoreFourHundredPatients)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_QueryFullTable(benchmark::State& state)
{
    FreshDatabase db;
    const QDateTime start = QDateTime::currentDateTime();
    for (int i = 0; i < kMaxPatientRows; ++i)
        StorePatient(Facts(i), start.addSecs(i));
    const PatientQuery statement = QueryPatientsStatement("王", "0");
    int rows = 0;
    for (auto _ : state) {
        AdoRecordSet list;
        OpenPatientList(list, statement);
        PatientRecord row;
        for (rows = 0; ReadPatientRow(list, row); list.MoveNext())
            ++rows;
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_QueryFullTable)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
