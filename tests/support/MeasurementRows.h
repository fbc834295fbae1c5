#pragma once
// The records whose numbers are pinned wherever they are shown (the demo records and one with
// negative and zero values), and the nine measurement rows screen, paper and archive must state
// for them, worked out here from the analysis's own numbers.
#include <QString>
#include <QStringList>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "analysis/AnalysisEngine.h"
#include "record/RecordFile.h"
#include "tests/support/PacketFile.h"
#include "tests/support/ShippedLanguage.h"
#include "tools/SyntheticEcg.h"

// The demo records, and in `folder` a record without P waves whose axes point up and right.
inline std::vector<std::filesystem::path> PinnedRecords(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> records;
    for (const char* demo : {"NormalSinus72", "Bradycardia48", "Tachycardia125", "WideQrs68"})
        records.push_back(std::filesystem::path(CORVIDA_APP_DIR) / "Data/Demo" / (std::string(demo) + ".cv"));
    EcgParameters p;
    p.pAmplitude = 0;
    p.qrsAxis = -100;
    p.tAxis = -120;
    records.push_back(folder / "m200903071405.cv");
    WritePackets(records.back(), SynthesizeRecord(p));
    return records;
}

// What the analysis itself makes of a record, as the review runs it.
struct AnalysisOf {
    explicit AnalysisOf(const std::filesystem::path& record)
    {
        ConclusionLines lines;
        ReviewRecord review;
        LoadForReview(record, *engine, ShippedLanguage(), lines, review);
    }
    std::unique_ptr<AnalysisEngine> engine = std::make_unique<AnalysisEngine>();
    const MeasurementSet& Set() const { return engine->Measurements(); }
    int32_t RV5() const { return engine->Leads()[kLeadV5][kFieldR]; }
    int32_t SV1() const { return engine->Leads()[kLeadV1][kFieldS]; }
};

// Label, unit and value of each row: units as clinicians write them, integers as measured, axes
// (kept in tenths of a degree) in degrees with one decimal, and "- - " for a value of 0, each half
// of a pair and each axis on its own.
inline std::array<QStringList, 9> ExpectedMeasurementRows(const AnalysisOf& a)
{
    const auto v = [](double value, int decimals = 0) {
        return value == 0 ? QString("- - ") : QString::number(value, 'f', decimals);
    };
    const MeasurementSet& m = a.Set();
    return {{{"HR", "[bpm]:", v(m.heartRate)},
             {"PR", "[ms]:", v(m.pr)},
             {"P", "[ms]:", v(m.pDuration)},
             {"QRS", "[ms]:", v(m.qrs)},
             {"T", "[ms]:", v(m.tDuration)},
             {"QT/QTc", "[ms]:", v(m.qt) + " / " + v(m.qtc)},
             {"P/QRS/T", "[deg]:", v(m.pAxis / 10.0, 1) + "/" + v(m.qrsAxis / 10.0, 1) + "/" + v(m.tAxis / 10.0, 1)},
             {"R(V5)/S(V1)", "[µV]:", v(a.RV5()) + " / " + v(a.SV1())},
             {"R(V5)+S(V1)", "[µV]:", v(std::abs(a.RV5()) + std::abs(a.SV1()))}}};
}
