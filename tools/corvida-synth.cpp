// corvida-synth: writes a synthetic 12-lead record (.cv) from the ECG model and its ground truth
// as JSON beside it (same name, extension .json).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "tools/SyntheticEcg.h"

namespace {

const char* kUsage =
    "usage: corvida-synth [options] --out FILE.cv\n"
    "       corvida-synth --demo DIR\n"
    "Writes a record of 4 s per lead (I, II, III, aVR, aVL, aVF, V1 ... V6) and FILE.json with\n"
    "the values the model was built with.\n"
    "  --preset NAME     normal, bradycardia, tachycardia, wide-qrs (then the options below)\n"
    "  --hr BPM          heart rate (72)\n"
    "  --p MS            P duration (100)      --pr MS    PR interval (160)\n"
    "  --qrs MS          QRS duration (90)     --qt MS    QT interval (380)\n"
    "  --p-axis DEG      (50)  --qrs-axis DEG (45)  --t-axis DEG (40)\n"
    "  --r-mv MV         main QRS amplitude (1.2)\n"
    "  --noise UV        white noise, rms      --wander UV  0.3 Hz baseline wander\n"
    "  --hum UV          50 Hz mains hum       --seed N     noise seed (1)\n"
    "  --seconds N       record length (48)\n"
    "  --demo DIR        writes the demo records NormalSinus72, Bradycardia48, Tachycardia125\n"
    "                    and WideQrs68 into DIR\n";

bool WriteFile(const std::filesystem::path& path, const void* data, size_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

bool WriteRecord(const EcgParameters& p, const std::filesystem::path& out)
{
    const auto packets = SynthesizeRecord(p);
    const std::string json = GroundTruthJson(p, GroundTruth(p));
    std::filesystem::path truth = out;
    truth.replace_extension(".json");
    if (!WriteFile(out, packets.data(), packets.size() * kPacketBytes)
        || !WriteFile(truth, json.data(), json.size())) {
        std::fprintf(stderr, "corvida-synth: cannot write %s\n", out.c_str());
        return false;
    }
    return true;
}

bool ParseNumber(const char* text, double& out)
{
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(out);
}

}  // namespace

int main(int argc, char** argv)
{
    EcgParameters p;
    std::filesystem::path out;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "corvida-synth: %s needs a value\n%s", a.c_str(), kUsage);
            return 2;
        }
        const char* v = argv[++i];
        if (a == "--demo") {
            std::error_code error;
            std::filesystem::create_directories(v, error);
            const struct {
                const char* preset;
                const char* file;
            } demos[] = {{"normal", "NormalSinus72.cv"},
                         {"bradycardia", "Bradycardia48.cv"},
                         {"tachycardia", "Tachycardia125.cv"},
                         {"wide-qrs", "WideQrs68.cv"}};
            for (const auto& d : demos) {
                EcgParameters demo;
                EcgPreset(d.preset, demo);
                // A little noise and wander, so the demo looks like a recording.
                demo.noise = 15;
                demo.wander = 60;
                if (!WriteRecord(demo, std::filesystem::path(v) / d.file))
                    return 1;
            }
            return 0;
        }
        if (a == "--out") {
            out = v;
            continue;
        }
        if (a == "--preset") {
            if (!EcgPreset(v, p)) {
                std::fprintf(stderr, "corvida-synth: unknown preset %s\n", v);
                return 2;
            }
            continue;
        }
        double n = 0;
        if (!ParseNumber(v, n)) {
            std::fprintf(stderr, "corvida-synth: %s: not a number: %s\n", a.c_str(), v);
            return 2;
        }
        if (a == "--hr") p.heartRate = n;
        else if (a == "--p") p.pDuration = n;
        else if (a == "--pr") p.pr = n;
        else if (a == "--qrs") p.qrs = n;
        else if (a == "--qt") p.qt = n;
        else if (a == "--p-axis") p.pAxis = n;
        else if (a == "--qrs-axis") p.qrsAxis = n;
        else if (a == "--t-axis") p.tAxis = n;
        else if (a == "--r-mv") p.rAmplitude = n;
        else if (a == "--noise") p.noise = n;
        else if (a == "--wander") p.wander = n;
        else if (a == "--hum") p.hum = n;
        else if (a == "--seed") p.seed = static_cast<uint32_t>(n);
        else if (a == "--seconds") p.seconds = static_cast<int>(n);
        else {
            std::fprintf(stderr, "corvida-synth: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    if (out.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    // The model needs room for P, QRS and T inside one beat, and a sane record length.
    if (p.heartRate < 20 || p.heartRate > 250 || p.pDuration <= 0 || p.qrs <= 0
        || p.pr < p.pDuration || p.qt <= p.qrs || p.pr + p.qt >= 2 * 60000.0 / p.heartRate
        || p.seconds < 1 || p.seconds > 3600 || p.noise < 0) {
        std::fprintf(stderr, "corvida-synth: parameters out of range\n");
        return 2;
    }
    return WriteRecord(p, out) ? 0 : 1;
}
