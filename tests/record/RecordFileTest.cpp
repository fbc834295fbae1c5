#include "record/RecordFile.h"
#include "record/EngineFeed.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include <sys/stat.h>

#include "foundation/LanguageTable.h"
#include "device/StreamDecoder.h"
#include "tests/support/PacketFile.h"
#include "tests/support/TempDir.h"
#include "tools/SyntheticEcg.h"

namespace fs = std::filesystem;

namespace {

// The packets and then `extraBytes` of valid packets, the last one cut.
void WritePackets(const fs::path& path, const std::vector<DevicePacket>& packets, size_t extraBytes)
{
    ::WritePackets(path, packets);
    std::ofstream out(path, std::ios::binary | std::ios::app);
    for (size_t i = 0; i < extraBytes; ++i)
        out.put("\x80\x40\x01\x02"[i % 4]);
}

std::vector<DevicePacket> Record(const char* preset, int seconds)
{
    EcgParameters p;
    EcgPreset(preset, p);
    p.seconds = seconds;
    return SynthesizeRecord(p);
}

struct Loader {
    std::unique_ptr<AnalysisEngine> engine = std::make_unique<AnalysisEngine>();
    LanguageTable language;
    ConclusionLines lines;
    ReviewRecord review;

    ReviewOutcome Load(const fs::path& path, StreamDecoder* live = nullptr)
    { return LoadForReview(path, *engine, language, lines, review, live); }
};

}  // namespace

// The name read back gives the very minute it was made from, each field in its place.
TEST(RecordFile, NamesCarryTheStartMinuteAndTitlesTheKind)
{
    for (const char* good : {"m202612070905.cv", "m202601010000.cv", "m202612312359.cv", "m203108192317.cv"})
        EXPECT_EQ(RecordFileName(RecordStartTime(std::string("Data/17/") + good).value_or(std::tm{})), good);
    for (const char* bad : {"m20261207090.cv", "x202612070905.cv", "m202612070905.txt",
                            "m2026120709a5.cv", "m202613070905.cv", "m202612072405.cv",
                            "m202600070905.cv", "m202612000905.cv", "m202612320905.cv",
                            "m202612070960.cv", "m202612070905xcv", "Demo.cv", ""})
        EXPECT_FALSE(RecordStartTime(bad)) << bad;
    // The title's last letter marks a fixed-length record and one with the live sample offset.
    struct Case { const char* path; bool fixed, offset; } cases[] = {
        {"Data/3/m202612070905.cv", false, false}, {"Data/Demo/Samplea.cv", true, false},
        {"Data/Demo/Sampleb.cv", true, true},      {"Data/Demo/SampleB.cv", false, false},
        {"Data/Demo/b.cv", true, true},            {"Data/Demo/.cv", false, false},
        {"Data/b/record.cv", false, false},  // the folder does not count
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsFixedLength(c.path), c.fixed) << c.path;
        EXPECT_EQ(HasSampleOffset(c.path), c.offset) << c.path;
    }
}

// Sizes and titles against what the review shows. The live decoder's latest lead becomes the
// last one read; an empty record has no last packet and leaves it alone.
TEST(RecordFile, LoadForReview_SecondsPointsAnalysisAndTheOneHourCut)
{
    TempDir dir;
    const auto full = Record("normal", 48);
    struct Case { const char* name; size_t packets, extraBytes; int pageCount, currentSecond;
                  size_t points; int leadsSeen; bool analysed; } cases[] = {
        {"m202612070001.cv", 38400, 0, 48, 48, 3840, 12, true},
        {"m202612070002.cv", 2500, 0, 3, 3, 240, 1, false},     // 10000 bytes: 9600 read
        {"m202612070003.cv", 2500, 3, 3, 3, 240, 1, false},     // odd size
        {"m202612070004.cv", 0, 0, 0, 0, 0, 0, false},          // empty
        {"m202612070005.cv", 0, 3199, 0, 0, 0, 0, false},       // less than one second
        {"Twentya.cv", 16000, 0, 20, 48, 1600, 5, false},       // fixed length: shown as 48 s
        {"m202612070006.cv", 38400, 2, 48, 48, 3840, 12, true},  // truncated last packet
        // Stopped inside V6: twelve leads met, but V6 was never closed, so no analysis.
        {"m202612070007.cv", 38399, 0, 47, 47, 3760, 12, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = dir.Path() / c.name;
        WritePackets(path, std::vector<DevicePacket>(full.begin(), full.begin() + c.packets), c.extraBytes);
        Loader loader;
        StreamDecoder live(nullptr, nullptr);
        live.DecodeFields(MakePacket(kLeadV6, 512));
        ASSERT_EQ(loader.Load(path, &live), ReviewOutcome::Loaded);
        EXPECT_EQ(live.LatestLead(), c.points ? ExtractFields(full[c.points * 10 - 1].data()).leadIndex : uint8_t{kLeadV6});
        const ReviewRecord& r = loader.review;
        EXPECT_EQ(std::tuple(r.pageCount, r.currentSecond, r.points.size(), r.analysed, r.leadsSeen, r.secondsCut),
                  std::tuple(c.pageCount, c.currentSecond, c.points, c.analysed, c.leadsSeen, false));
    }
    // Files far beyond one hour are read for the first hour only (and checked); the sparse zero
    // bytes past it are never looked at.
    const fs::path huge = dir.Path() / "huge1.cv";
    WritePackets(huge, std::vector<DevicePacket>(size_t(kMaxReviewSeconds) * kPacketsPerSecond,
                                                 DevicePacket{0x80, 0x40, 0, 0}));
    fs::resize_file(huge, 4ull << 30);
    Loader loader;
    ASSERT_EQ(loader.Load(huge), ReviewOutcome::Loaded);
    const ReviewRecord& r = loader.review;
    EXPECT_EQ(std::tuple(r.pageCount, r.currentSecond, r.points.size(), r.secondsCut),
              std::tuple(int((4ull << 30) / 3200), 48, size_t(kMaxReviewSeconds) * 80, true));
}

// The heart rate of a record does not depend on what the engine saw before: live monitoring
// at another rate, or an earlier record with fewer than twelve leads. And a partial record
// shows no measurements, not the previous record's.
TEST(RecordFile, LoadForReview_StartsFromACleanRecordState)
{
    TempDir dir;
    const fs::path normal = dir.Path() / "normal1.cv";
    const fs::path partial = dir.Path() / "partial1.cv";
    WritePackets(normal, Record("normal", 48));
    WritePackets(partial, Record("tachycardia", 20));

    Loader fresh;
    ASSERT_EQ(fresh.Load(normal), ReviewOutcome::Loaded);
    const MeasurementSet expected = fresh.engine->Measurements();
    ASSERT_GT(expected.heartRate, 0);

    Loader used;  // after live monitoring of a fast rhythm through the same engine
    EngineFeed feed(*used.engine);
    StreamDecoder live(&feed, nullptr);
    for (const DevicePacket& p : Record("tachycardia", 24))
        live.DecodeBlock(p.data(), p.size());
    ASSERT_EQ(used.Load(partial), ReviewOutcome::Loaded);
    EXPECT_FALSE(used.review.analysed);
    EXPECT_EQ(used.review.leadsSeen, 5);
    EXPECT_EQ(used.engine->Measurements().heartRate, 0);

    ASSERT_EQ(used.Load(normal), ReviewOutcome::Loaded);
    const MeasurementSet& again = used.engine->Measurements();
    EXPECT_EQ(std::tie(again.heartRate, again.qrs, again.qtc), std::tie(expected.heartRate, expected.qrs, expected.qtc));
    EXPECT_EQ(used.review.firstLine, fresh.review.firstLine);
    EXPECT_EQ(used.lines.line, fresh.lines.line);

    // Then a partial record: no measurements and blank conclusion lines.
    ASSERT_EQ(used.Load(partial), ReviewOutcome::Loaded);
    EXPECT_EQ(used.engine->Measurements().heartRate, 0);
    for (const std::string& line : used.lines.line)
        EXPECT_EQ(line, " ");
}

// Every reader goes through CheckRecordFile: bytes that are not recorder packets are no record.
TEST(RecordFile, CheckRecordFile_RefusesWhatIsNoRecordAndReadersReadWholeSeconds)
{
    TempDir dir;
    struct Case { const char* name; std::string bytes; bool record; } cases[] = {
        {"allff", std::string(3200 * 50, '\xff'), false}, {"short", "\x80", false},
        {"empty", "", true},                               {"valid", std::string("\x80\x40\x01\x02", 4), true},
    };
    Loader loader;
    for (const Case& c : cases) {
        const fs::path path = dir.Path() / (std::string(c.name) + "1.cv");
        std::ofstream(path, std::ios::binary) << c.bytes;
        std::string why;
        EXPECT_EQ(CheckRecordFile(path, why), c.record) << c.name << ": " << why;
        EXPECT_EQ(ReadRecordPackets(path).has_value(), c.record) << c.name;
        EXPECT_EQ(loader.Load(path) == ReviewOutcome::Loaded, c.record) << c.name;
    }
    // A folder or a FIFO (which would block any reader opening it) is refused unopened.
    const fs::path fifo = dir.Path() / "fifo1.cv";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const fs::path& path : {dir.Path(), fifo}) {
        std::string why;
        EXPECT_FALSE(CheckRecordFile(path, why));
        EXPECT_EQ(why, "not a regular file");
        EXPECT_EQ(loader.Load(path), ReviewOutcome::OpenFailed);
    }
    // Whole seconds only, and no more than asked for.
    const fs::path path = dir.Path() / "r1.cv";
    const auto packets = Record("normal", 3);
    WritePackets(path, packets, 1000);
    EXPECT_EQ(ReadRecordPackets(path), packets);
    EXPECT_EQ(ReadRecordPackets(path, 1)->size(), 800u);
}

// A stretch lost anywhere makes every later turn of 3200 packets mix two leads: the record is
// damaged from there on, everything is still shown, and only the whole part before it counts.
TEST(RecordFile, LoadForReview_ADamagedRecordIsAnalysedOnlyUpToTheDamage)
{
    TempDir dir;
    const auto full = Record("normal", 60);
    Loader clean;
    WritePackets(dir.Path() / "clean1.cv", std::vector<DevicePacket>(full.begin(), full.begin() + 38400));
    ASSERT_EQ(clean.Load(dir.Path() / "clean1.cv"), ReviewOutcome::Loaded);
    struct Case { const char* name; size_t cutFrom, cutTo, end; int damagedSecond, leadsSeen; bool analysed; } cases[] = {
        {"aVF1.cv", 17000, 17400, 38400, 23, 6, false},   // 400 packets lost inside aVF
        {"midI1.cv", 0, 1600, 38400, 2, 1, false},        // started in the middle of lead I
        {"late1.cv", 40000, 40001, 48000, 51, 12, true},  // one packet lost after the twelfth lead
        {"whole1.cv", 0, 0, 48000, -1, 12, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<DevicePacket> packets(full.begin(), full.begin() + c.end);
        packets.erase(packets.begin() + c.cutFrom, packets.begin() + c.cutTo);
        WritePackets(dir.Path() / c.name, packets);
        Loader loader;
        ASSERT_EQ(loader.Load(dir.Path() / c.name), ReviewOutcome::Loaded);
        const ReviewRecord& r = loader.review;
        EXPECT_EQ(std::tuple(r.damagedSecond, r.leadsSeen, r.analysed, r.points.size()),
                  std::tuple(c.damagedSecond, c.leadsSeen, c.analysed, packets.size() / 800 * 80));
        if (c.analysed) {
            EXPECT_EQ(loader.lines.line, clean.lines.line);
            EXPECT_EQ(loader.engine->Measurements().qrs, clean.engine->Measurements().qrs);
        }
    }
}
