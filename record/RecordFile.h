#pragma once
// The record file (.cv): the recorder's packets exactly as received, four bytes each, no header.
// Only valid packets are stored, never a filler. Whole seconds = size / 3200; a trailing part
// shorter than one second is ignored by every reader. Plain standard C++.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "analysis/AnalysisEngine.h"
#include "device/DevicePacket.h"
#include "record/DisplayPoint.h"

class LanguageTable;
class StreamDecoder;

constexpr const char* kRecordExtension = ".cv";
constexpr int kBytesPerSecond = kPacketsPerSecond * kPacketBytes;  // 3200
// Reviews read at most one hour; a longer file keeps its bytes, the rest is simply not shown.
constexpr int kMaxReviewSeconds = 3600;

// "m" + local start time "%Y%m%d%H%M" + ".cv", e.g. "m202612070118.cv".
std::string RecordFileName(const std::tm& localStart);
// The start time of a name of that form (a directory part is allowed); nullopt otherwise.
std::optional<std::tm> RecordStartTime(const std::filesystem::path& path);

// The one listing of a folder's records, for every reader and copier of a patient's folder and
// of the demo folder. Entries directly in the folder whose names end in ".cv" (any letter case),
// folders left out, in directory order:
//   records: regular files (a link is never followed) named as a patient's record is, "m" + 12
//            digits + ".cv" (in the demo folder, anyName: any name);
//   others:  the rest of them (links, pipes, devices, other names), which nothing opens; a copy
//            of the folder names them as left out.
struct RecordListing {
    std::vector<std::string> records;
    std::vector<std::string> others;
};
RecordListing ListRecords(const std::filesystem::path& folder, bool anyName = false);

int WholeSeconds(uint64_t fileSize);
// File-title rule: a title ending in 'a' or 'b' is a fixed-length record (always shown as 48 s,
// no ">" forward); a title ending in 'b' stores samples with +320 that readers subtract.
bool IsFixedLength(const std::filesystem::path& path);
bool HasSampleOffset(const std::filesystem::path& path);

// The one validity check every reader of a record makes first: a regular file whose every
// whole packet (of the first kMaxReviewSeconds) is one the recorder sends and stores. why
// gets the reason of a refusal ("no such file", "not a record file (...)" ...).
bool CheckRecordFile(const std::filesystem::path& path, std::string& why);

// True when writing out would overwrite one of the records (the same file under any name or
// link) or would make a file named as a record (".cv", any letter case): tools refuse such
// an output.
bool ClashesWithRecords(const std::filesystem::path& out,
                        const std::vector<std::filesystem::path>& records);

// Sequential reader of the whole seconds of a record, through a buffer (one read call per
// chunk, not per packet).
class RecordFile {
public:
    RecordFile() = default;
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    bool Open(const std::filesystem::path& path);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    uint64_t Size() const { return size_; }
    int Seconds() const { return WholeSeconds(size_); }
    // Reads up to maxPackets of the whole seconds; returns how many were read (0 at the end).
    // Failed() tells a read error from the end of the file.
    size_t Read(DevicePacket* out, size_t maxPackets);
    bool Failed() const { return failed_; }

private:
    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
    uint64_t packetsLeft_ = 0;
    bool failed_ = false;
};

// All whole-second packets of a record (for printing and tools); nullopt when the file cannot
// be opened or read or is not a record (CheckRecordFile). At most maxSeconds are read.
std::optional<std::vector<DevicePacket>> ReadRecordPackets(const std::filesystem::path& path,
                                                           int maxSeconds = kMaxReviewSeconds);

enum class ReviewOutcome {
    Loaded,      // read (possibly zero whole seconds); see leadsSeen and analysed
    EmptyPath,   // nothing was done
    OpenFailed,  // the review is empty: no points, current second 0
    NotRecord,   // CheckRecordFile refused it; the review is empty as for OpenFailed
    ReadFailed,  // an I/O error part-way: what was read is kept, no analysis
};

// What the main window shows for a record under review.
struct ReviewRecord {
    int pageCount = 0;       // whole seconds in the file
    int currentSecond = 0;   // min(48, pageCount); 48 for a fixed-length record
    bool fixedLength = false;
    bool secondsCut = false;  // the file is longer than kMaxReviewSeconds
    int leadsSeen = 0;        // distinct lead indices met before any damage; 12 enables the diagnosis
    int damagedSecond = -1;   // the second the lead structure breaks in (LeadTurns), or -1
    bool analysed = false;    // RunAnalysis ran
    int firstLine = 9;        // first used conclusion line when analysed
    uint8_t lastLead = 0;     // lead index of the last packet read
    std::vector<DisplayPoint> points;  // one per 10 packets, in file order
};

// Reads a record for review: builds the point list, feeds every packet to the engine, closes a
// lead segment every 3200 packets and runs the whole-record analysis when all twelve leads were
// seen and each of them had a closed segment. A record whose lead structure breaks is damaged
// from that second on: its points are all kept, but only the whole part before the break is
// counted and analysed. The record-wide analysis state is cleared first, so nothing of live monitoring or of an
// earlier record leaks in; with fewer than twelve leads the engine's results are cleared and
// the conclusion lines are blank. When a live decoder is given, the file's last lead becomes its
// latest lead (the next live byte then starts a new live segment).
ReviewOutcome LoadForReview(const std::filesystem::path& path, AnalysisEngine& engine,
                            const LanguageTable& language, ConclusionLines& lines,
                            ReviewRecord& review, StreamDecoder* liveDecoder = nullptr);
