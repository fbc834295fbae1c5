// The recorder stand-ins: the simulator's byte stream and the synthetic record generator.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "device/StreamDecoder.h"
#include "record/RecordFile.h"
#include "tests/device/DecoderProbe.h"
#include "tests/support/TempDir.h"
#include "tools/SyntheticEcg.h"

namespace fs = std::filesystem;

namespace {

const std::string kTools = CORVIDA_TOOLS_DIR;

std::vector<uint8_t> RunForBytes(const std::string& command)
{
    std::vector<uint8_t> out;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[65536];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        out.insert(out.end(), buffer, buffer + n);
    pclose(pipe);
    return out;
}

int Shell(const std::string& command)
{
    return std::system((command + " 2>/dev/null").c_str());
}

}  // namespace

TEST(Simulator, StdoutStreamIsThePacketsWithFillers)
{
    TempDir dir;
    const fs::path record = dir.Path() / "r1.cv";
    EcgParameters p;
    p.seconds = 5;
    const auto packets = SynthesizeRecord(p);
    std::ofstream(record, std::ios::binary)
        .write(reinterpret_cast<const char*>(packets.data()),
               static_cast<std::streamsize>(packets.size() * kPacketBytes));

    struct Case {
        int every, length;
    } cases[] = {{37, 5}, {12, 4}, {1, 5}, {0, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.every << "/" << c.length);
        const auto bytes = RunForBytes(kTools + "/corvida-simulator --stdout --speed 0 --filler-every "
                                       + std::to_string(c.every) + " --filler-length "
                                       + std::to_string(c.length) + " " + record.string());
        const size_t fillers = c.every ? packets.size() / c.every : 0;
        ASSERT_EQ(bytes.size(), packets.size() * 4 + fillers * c.length);
        size_t ff = 0;
        for (uint8_t b : bytes)
            ff += b == kFillerByte;
        EXPECT_EQ(ff, fillers * c.length);
        ProbeSink sink;
        StreamDecoder decoder(nullptr, &sink);
        decoder.DecodeBlock(bytes.data(), bytes.size());
        EXPECT_EQ(sink.recorded, packets);
    }

    // Longer than the record: it repeats from the first packet, with no gap.
    const auto looped = RunForBytes(kTools + "/corvida-simulator --stdout --speed 0 --filler-every 0 "
                                    "--seconds 7 " + record.string());
    ASSERT_EQ(looped.size(), 7u * 3200);
    EXPECT_EQ(0, std::memcmp(looped.data() + 5 * 3200, packets.data(), 2 * 3200));
}

TEST(Simulator, RefusesWhatItCannotPlay)
{
    TempDir dir;
    const fs::path tiny = dir.Path() / "tiny1.cv";
    std::ofstream(tiny, std::ios::binary) << "short";
    EXPECT_NE(Shell(kTools + "/corvida-simulator --stdout " + tiny.string()), 0);
    EXPECT_NE(Shell(kTools + "/corvida-simulator --stdout " + (dir.Path() / "none.cv").string()), 0);
    EXPECT_NE(Shell(kTools + "/corvida-simulator --stdout --filler-length 3"), 0);
    EXPECT_NE(Shell(kTools + "/corvida-simulator --stdout --preset nothing"), 0);
    // A file that is not a link is never replaced by the pty link.
    const fs::path taken = dir.Path() / "COM3";
    std::ofstream(taken) << "keep";
    EXPECT_NE(Shell(kTools + "/corvida-simulator --seconds 0 --linger 0 --link " + taken.string()), 0);
    std::ifstream kept(taken);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), {}), "keep");
}

TEST(Synth, WritesTheRecordAndItsGroundTruth)
{
    TempDir dir;
    const fs::path out = dir.Path() / "s1.cv";
    ASSERT_EQ(Shell(kTools + "/corvida-synth --hr 90 --qrs 120 --qt 360 --noise 10 --out " + out.string()), 0);
    EXPECT_EQ(fs::file_size(out), 153600u);
    std::ifstream json(dir.Path() / "s1.json");
    const std::string text((std::istreambuf_iterator<char>(json)), {});
    EXPECT_NE(text.find("\"heart_rate_bpm\": 90.0"), std::string::npos) << text;
    EXPECT_NE(text.find("\"qrs_ms\": 120.0"), std::string::npos);
    EXPECT_NE(text.find("\"qtc_ms\": 440.9"), std::string::npos);  // 360 / sqrt(0.6667 s)

    for (const char* bad : {"--hr 0", "--hr abc", "--qt 50 --qrs 90", "--seconds 0", "--frobnicate 1"})
        EXPECT_NE(Shell(kTools + "/corvida-synth " + bad + " --out " + (dir.Path() / "x.cv").string()), 0)
            << bad;
    EXPECT_FALSE(fs::exists(dir.Path() / "x.cv"));
}

// The model's record: leads in recorder order, 4 s each, beats at the chosen rate in every
// lead, and the frontal axis the parameters ask for.
TEST(Synth, RecordFollowsTheModel)
{
    for (double rate : {45.0, 72.0, 150.0}) {
        SCOPED_TRACE(rate);
        EcgParameters p;
        p.heartRate = rate;
        p.qt = rate > 120 ? 280 : 380;
        p.pr = rate > 120 ? 120 : 160;
        const auto packets = SynthesizeRecord(p);
        ASSERT_EQ(packets.size(), 38400u);
        // Count R peaks in lead II (packets 3200 ... 6399) by upward crossings of half the peak.
        int crossings = 0;
        int16_t previous = kBaseline;
        int16_t top = kBaseline;
        for (int i = 3200; i < 6400; ++i) {
            EXPECT_EQ(ExtractFields(packets[i].data()).leadIndex, 1);
            top = std::max(top, ExtractFields(packets[i].data()).sample);
        }
        const int threshold = (top + kBaseline) / 2;
        for (int i = 3200; i < 6400; ++i) {
            const int16_t s = ExtractFields(packets[i].data()).sample;
            crossings += previous < threshold && s >= threshold;
            previous = s;
        }
        EXPECT_NEAR(crossings, rate * 4 / 60, 1.0);
        for (int lead = 0; lead < 12; ++lead)
            EXPECT_EQ(ExtractFields(packets[lead * 3200 + 1234].data()).leadIndex, lead);
    }
    EcgParameters p;
    p.qrsAxis = -45;
    // Left axis: lead I positive, aVF negative over the QRS.
    const EcgGroundTruth truth = GroundTruth(p);
    EXPECT_LT(truth.qrsAxis, -20);
    EXPECT_GT(truth.qrsAxis, -70);
}
