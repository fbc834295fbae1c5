// corvida-analyze: runs the analysis of the review path on record files and prints what the
// main window would show, as text or as one JSON object per file.
#include <array>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "analysis/AnalysisEngine.h"
#include "analysis/Measurements.h"
#include "foundation/LanguageTable.h"
#include "record/RecordFile.h"

namespace {

const char* kUsage =
    "usage: corvida-analyze [--json] [--language NAME] [--language-dir DIR] FILE.cv...\n"
    "Reads each record as the review does (whole seconds only, a segment every 4 s, the\n"
    "analysis when all twelve leads were seen) and prints its measurements, the QRS shape of\n"
    "every lead and the conclusion lines.\n"
    "  --json              one JSON object per file on one line:\n"
    "                      {\"file\":..., \"seconds\":int, \"leads_seen\":int, \"analysed\":bool,\n"
    "                       \"damaged_at\":int (only for a damaged record, below),\n"
    "                       \"measurements\":{\"heart_rate\",\"p_duration\",\"pr\",\"qrs\",\n"
    "                         \"t_duration\",\"qt\",\"qtc\" (ints, bpm and ms), \"p_axis\",\n"
    "                         \"qrs_axis\",\"t_axis\" (floats, tenths of a degree)},\n"
    "                       \"leads\":[{\"name\":\"I\",\"values\":[40 ints],\"shape\":\"qRs\"}, ... 12],\n"
    "                       \"codes\":[raised diagnosis codes], \"conclusion\":[lines, top first]}\n"
    "                      A record with fewer than 12 leads has \"analysed\":false, zero values\n"
    "                      and empty codes and conclusion.\n"
    "A record whose leads leave the recorder's order (a turn of 3200 packets mixing two\n"
    "leads) is damaged from that second on (\"damaged_at\", \"record damaged at N s\"): only\n"
    "the whole part before it is analysed.\n"
    "  --language NAME     display name of the language file for the statements\n"
    "                      (\"English\" by default, or \"中文\")\n"
    "  --language-dir DIR  folder of the language files (the \"language\" folder beside\n"
    "                      this program by default)\n"
    "A missing, unreadable or non-record file is reported on stderr and the exit status is 1;\n"
    "the other files are still analysed. Wrong options give status 2.\n";

std::filesystem::path ProgramFolder(const char* argv0)
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec)
        return self.parent_path();
    return std::filesystem::absolute(argv0, ec).parent_path();
}


std::string JsonString(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// Shortest text that reads back as the same float.
std::string JsonFloat(float v)
{
    std::array<char, 32> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    return std::string(buf.data(), r.ptr);
}

std::vector<std::string> ShownLines(const ConclusionLines& lines, const ReviewRecord& review)
{
    std::vector<std::string> shown;
    if (!review.analysed)
        return shown;
    for (int i = 9; i >= review.firstLine && i >= 0; --i)
        shown.push_back(lines.line[i]);
    return shown;
}

void PrintJson(const std::filesystem::path& path, const AnalysisEngine& engine,
               const ConclusionLines& lines, const ReviewRecord& review)
{
    const MeasurementSet m = review.analysed ? engine.Measurements() : MeasurementSet{};
    std::string out = "{\"file\":" + JsonString(path.string());
    out += ",\"seconds\":" + std::to_string(review.pageCount);
    out += ",\"leads_seen\":" + std::to_string(review.leadsSeen);
    out += std::string(",\"analysed\":") + (review.analysed ? "true" : "false");
    if (review.damagedSecond >= 0)
        out += ",\"damaged_at\":" + std::to_string(review.damagedSecond);
    out += ",\"measurements\":{\"heart_rate\":" + std::to_string(m.heartRate);
    out += ",\"p_duration\":" + std::to_string(m.pDuration);
    out += ",\"pr\":" + std::to_string(m.pr);
    out += ",\"qrs\":" + std::to_string(m.qrs);
    out += ",\"t_duration\":" + std::to_string(m.tDuration);
    out += ",\"qt\":" + std::to_string(m.qt);
    out += ",\"qtc\":" + std::to_string(m.qtc);
    out += ",\"p_axis\":" + JsonFloat(m.pAxis);
    out += ",\"qrs_axis\":" + JsonFloat(m.qrsAxis);
    out += ",\"t_axis\":" + JsonFloat(m.tAxis) + "}";
    out += ",\"leads\":[";
    for (int lead = 0; lead < kLeadCount; ++lead) {
        out += lead ? ",{" : "{";
        out += "\"name\":" + JsonString(kLeadNames[lead]) + ",\"values\":[";
        for (int f = 0; f < kLeadValues; ++f) {
            const int32_t v = review.analysed ? engine.Leads()[lead][f] : 0;
            out += (f ? "," : "") + std::to_string(v);
        }
        const std::string shape =
            review.analysed ? std::string(LabelText(engine.QrsShapeLabels()[lead])) : "";
        out += "],\"shape\":" + JsonString(shape) + "}";
    }
    out += "],\"codes\":[";
    bool firstCode = true;
    if (review.analysed)
        for (int code = 0; code < kDiagnosisCodes; ++code)
            if (engine.Diagnosis()[code] != 0) {
                out += (firstCode ? "" : ",") + std::to_string(code);
                firstCode = false;
            }
    out += "],\"conclusion\":[";
    const std::vector<std::string> shown = ShownLines(lines, review);
    for (size_t i = 0; i < shown.size(); ++i)
        out += (i ? "," : "") + JsonString(shown[i]);
    out += "]}\n";
    std::fputs(out.c_str(), stdout);
}

void PrintText(const std::filesystem::path& path, const AnalysisEngine& engine,
               const ConclusionLines& lines, const ReviewRecord& review)
{
    std::printf("%s: %d s, %d of 12 leads%s", path.string().c_str(), review.pageCount,
                review.leadsSeen, review.analysed ? "" : ", not analysed");
    if (review.damagedSecond >= 0)
        std::printf(", record damaged at %d s", review.damagedSecond);
    std::printf("\n");
    if (!review.analysed)
        return;
    const std::array<std::string, 9> values =
        MeasurementValueTexts(engine.Measurements(), engine.Leads()[kLeadV5][kFieldR],
                              engine.Leads()[kLeadV1][kFieldS]);
    for (int row = 0; row < 9; ++row)
        std::printf("  %-12s %-7s %s\n", kMeasurementLabels[row].name,
                    kMeasurementLabels[row].unit, values[row].c_str());
    std::printf("  QRS shapes:");
    for (int lead = 0; lead < kLeadCount; ++lead) {
        const std::string_view shape = LabelText(engine.QrsShapeLabels()[lead]);
        std::printf(" %s %s", kLeadNames[lead], shape.empty() ? "-" : std::string(shape).c_str());
    }
    std::printf("\n");
    for (const std::string& line : ShownLines(lines, review))
        std::printf("  | %s\n", line.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    bool json = false;
    std::string language = "English";
    std::filesystem::path languageDir;
    std::vector<std::filesystem::path> files;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (!options || a.empty() || a[0] != '-') {
            files.emplace_back(a);
        } else if (a == "--") {
            options = false;
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--json") {
            json = true;
        } else if (a == "--language" || a == "--language-dir") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "corvida-analyze: %s needs a value\n%s", a.c_str(), kUsage);
                return 2;
            }
            if (a == "--language")
                language = argv[++i];
            else
                languageDir = argv[++i];
        } else {
            std::fprintf(stderr, "corvida-analyze: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "corvida-analyze: no record file given\n%s", kUsage);
        return 2;
    }
    if (languageDir.empty())
        languageDir = ProgramFolder(argv[0]) / "language";

    LanguageTable table;
    table.SetDirectory(languageDir.string());
    table.Scan();
    if (table.Load(language) == 0) {
        std::fprintf(stderr, "corvida-analyze: no language \"%s\" in %s\n", language.c_str(),
                     languageDir.string().c_str());
        return 2;
    }

    AnalysisEngine engine;
    int status = 0;
    for (const std::filesystem::path& path : files) {
        std::string why;
        if (!CheckRecordFile(path, why)) {
            std::fprintf(stderr, "corvida-analyze: %s: %s\n", path.string().c_str(), why.c_str());
            status = 1;
            continue;
        }
        // Each record starts from nothing measured, as the main window clears it before a
        // review.
        engine.ClearResults();
        ConclusionLines lines;
        ReviewRecord review;
        const ReviewOutcome outcome = LoadForReview(path, engine, table, lines, review);
        if (outcome != ReviewOutcome::Loaded) {
            std::fprintf(stderr, "corvida-analyze: %s: %s\n", path.string().c_str(),
                         outcome == ReviewOutcome::OpenFailed ? "cannot be opened"
                                                              : "read error");
            status = 1;
            continue;
        }
        if (json)
            PrintJson(path, engine, lines, review);
        else
            PrintText(path, engine, lines, review);
    }
    return status;
}
