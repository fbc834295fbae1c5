// Any file as a record for review: the loader never crashes and its point list matches the
// whole seconds of the file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "foundation/LanguageTable.h"
#include "record/RecordFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // One file per process, rewritten for every input; the title decides the offset rule, so
    // the first byte picks one of three names.
    static const std::string base = "/tmp/corvida-fuzz-" + std::to_string(getpid());
    static auto engine = std::make_unique<AnalysisEngine>();
    static LanguageTable language;
    if (size == 0)
        return 0;
    const char* suffix[] = {"1.cv", "a.cv", "b.cv"};
    const std::string path = base + suffix[data[0] % 3];
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);

    ConclusionLines lines;
    ReviewRecord review;
    if (LoadForReview(path, *engine, language, lines, review) != ReviewOutcome::Loaded)
        std::abort();
    const size_t seconds = (size - 1) / kBytesPerSecond;
    if (review.pageCount != static_cast<int>(seconds) || review.points.size() != seconds * 80)
        std::abort();
    if (review.analysed && review.leadsSeen != kRecordLeads)
        std::abort();
    std::remove(path.c_str());
    return 0;
}
