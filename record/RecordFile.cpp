#include "record/RecordFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <fstream>

#include "device/PeakHold.h"
#include "device/StreamDecoder.h"
#include "record/LeadTurns.h"

namespace {

// 12 KB per read: big enough that a full record takes a dozen calls, small enough to stay in
// the stack of any thread.
constexpr size_t kChunkPackets = 3072;

std::string Title(const std::filesystem::path& path)
{
    return path.stem().string();
}

bool AllDigits(const std::string& s, size_t from, size_t count)
{
    if (s.size() < from + count)
        return false;
    for (size_t i = from; i < from + count; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

int Number(const std::string& s, size_t from, size_t count)
{
    int n = 0;
    for (size_t i = from; i < from + count; ++i)
        n = n * 10 + (s[i] - '0');
    return n;
}

}  // namespace

std::string RecordFileName(const std::tm& localStart)
{
    char text[32];
    std::strftime(text, sizeof text, "m%Y%m%d%H%M", &localStart);
    return std::string(text) + kRecordExtension;
}

std::optional<std::tm> RecordStartTime(const std::filesystem::path& path)
{
    const std::string name = path.filename().string();
    if (name.size() != 16 || name[0] != 'm' || !AllDigits(name, 1, 12)
        || name.compare(13, 3, kRecordExtension) != 0)
        return std::nullopt;
    std::tm t{};
    t.tm_year = Number(name, 1, 4) - 1900;
    t.tm_mon = Number(name, 5, 2) - 1;
    t.tm_mday = Number(name, 7, 2);
    t.tm_hour = Number(name, 9, 2);
    t.tm_min = Number(name, 11, 2);
    t.tm_isdst = -1;
    if (t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday < 1 || t.tm_mday > 31 || t.tm_hour > 23
        || t.tm_min > 59)
        return std::nullopt;
    return t;
}

RecordListing ListRecords(const std::filesystem::path& folder, bool anyName)
{
    RecordListing listing;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::string extension = it->path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        std::error_code ignored;
        if (extension != kRecordExtension || it->is_directory(ignored))
            continue;
        const bool plain = it->symlink_status(ignored).type() == std::filesystem::file_type::regular;
        (plain && (anyName || RecordStartTime(name)) ? listing.records : listing.others)
            .push_back(name);
    }
    return listing;
}

int WholeSeconds(uint64_t fileSize)
{
    const uint64_t seconds = fileSize / kBytesPerSecond;
    return seconds > INT32_MAX ? INT32_MAX : static_cast<int>(seconds);
}

bool IsFixedLength(const std::filesystem::path& path)
{
    const std::string title = Title(path);
    return !title.empty() && (title.back() == 'a' || title.back() == 'b');
}

bool HasSampleOffset(const std::filesystem::path& path)
{
    const std::string title = Title(path);
    return !title.empty() && title.back() == 'b';
}

// Every whole packet must look like one the recorder sends and the recorder stores: start bit
// on the first byte only, the valid flag set. Anything else is not a record file. An empty file
// is a record of no seconds (recording stopped before its first block was written).
bool CheckRecordFile(const std::filesystem::path& path, std::string& why)
{
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        why = "no such file";
        return false;
    }
    if (!std::filesystem::is_regular_file(path, ec)) {
        why = "not a regular file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "cannot be opened";
        return false;
    }
    std::vector<char> bytes(static_cast<size_t>(kMaxReviewSeconds) * kBytesPerSecond);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        why = "cannot be read";
        return false;
    }
    const size_t got = static_cast<size_t>(in.gcount());
    if (got > 0 && got < static_cast<size_t>(kPacketBytes)) {
        why = "not a record file (shorter than one packet)";
        return false;
    }
    const size_t packets = got / kPacketBytes;
    for (size_t i = 0; i < packets; ++i) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + i * kPacketBytes);
        if ((p[0] & 0x80) == 0 || (p[1] & 0x80) != 0 || (p[2] & 0x80) != 0 || (p[3] & 0x80) != 0
            || (p[1] & 0x40) == 0) {
            why = "not a record file (byte " + std::to_string(i * kPacketBytes)
                  + " is not a recorder packet)";
            return false;
        }
    }
    return true;
}

bool ClashesWithRecords(const std::filesystem::path& out,
                        const std::vector<std::filesystem::path>& records)
{
    std::string extension = out.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == kRecordExtension)
        return true;
    std::error_code error;
    for (const std::filesystem::path& record : records)
        if (std::filesystem::equivalent(out, record, error))
            return true;
    return false;
}

RecordFile::~RecordFile()
{
    Close();
}

bool RecordFile::Open(const std::filesystem::path& path)
{
    Close();
    failed_ = false;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_)
        return false;
    // The size comes from the open stream, so a file replaced meanwhile cannot disagree with it.
    if (std::fseek(file_, 0, SEEK_END) != 0) {
        Close();
        return false;
    }
    const long end = std::ftell(file_);
    if (end < 0 || std::fseek(file_, 0, SEEK_SET) != 0) {
        Close();
        return false;
    }
    size_ = static_cast<uint64_t>(end);
    packetsLeft_ = static_cast<uint64_t>(Seconds()) * kPacketsPerSecond;
    return true;
}

void RecordFile::Close()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    size_ = 0;
    packetsLeft_ = 0;
}

size_t RecordFile::Read(DevicePacket* out, size_t maxPackets)
{
    if (!file_ || failed_)
        return 0;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(maxPackets, packetsLeft_));
    if (want == 0)
        return 0;
    const size_t got = std::fread(out, kPacketBytes, want, file_);
    packetsLeft_ -= got;
    // The file shrank under us or the device failed: either way the rest cannot be trusted.
    if (got < want)
        failed_ = true;
    return got;
}

std::optional<std::vector<DevicePacket>> ReadRecordPackets(const std::filesystem::path& path,
                                                           int maxSeconds)
{
    std::string why;
    RecordFile file;
    if (!CheckRecordFile(path, why) || !file.Open(path))
        return std::nullopt;
    const size_t count =
        static_cast<size_t>(std::min(file.Seconds(), std::max(maxSeconds, 0))) * kPacketsPerSecond;
    std::vector<DevicePacket> packets(count);
    if (file.Read(packets.data(), count) != count)
        return std::nullopt;
    return packets;
}

ReviewOutcome LoadForReview(const std::filesystem::path& path, AnalysisEngine& engine,
                            const LanguageTable& language, ConclusionLines& lines,
                            ReviewRecord& review, StreamDecoder* liveDecoder)
{
    if (path.empty())
        return ReviewOutcome::EmptyPath;
    review = ReviewRecord{};
    for (std::string& line : lines.line)
        line.assign(1, ' ');

    RecordFile file;
    if (!file.Open(path))
        return ReviewOutcome::OpenFailed;
    if (std::string why; !CheckRecordFile(path, why))
        return ReviewOutcome::NotRecord;

    review.pageCount = file.Seconds();
    review.fixedLength = IsFixedLength(path);
    review.currentSecond = review.fixedLength ? kRecordSeconds
                                              : std::min(kRecordSeconds, review.pageCount);
    const int seconds = std::min(review.pageCount, kMaxReviewSeconds);
    review.secondsCut = seconds < review.pageCount;
    const uint64_t total = static_cast<uint64_t>(seconds) * kPacketsPerSecond;
    review.points.reserve(static_cast<size_t>(total / kPacketsPerPoint));
    const int offset = HasSampleOffset(path) ? kLiveSampleOffset : 0;

    // A new record starts clean: no ReferenceRr, RR statistics or average beats of live
    // monitoring or of an earlier record may reach this record's results.
    engine.ClearRecordState();
    engine.ResetLeadState();
    engine.EmptyInput();

    std::array<bool, kRecordLeads> seen{};
    std::array<bool, kRecordLeads> finished{};
    LeadTurns turns;
    PeakHold hold;
    DevicePacket last{};
    std::array<DevicePacket, kChunkPackets> chunk;
    uint64_t i = 0;
    while (i < total) {
        const size_t got =
            file.Read(chunk.data(), static_cast<size_t>(std::min<uint64_t>(kChunkPackets, total - i)));
        if (got == 0)
            break;
        for (size_t k = 0; k < got; ++k, ++i) {
            const PacketFields f = ExtractFields(chunk[k].data());
            const int16_t sample = static_cast<int16_t>(f.sample - offset);
            // From the first packet that breaks the lead structure on, every turn would mix two
            // leads: the rest is shown as it is, but no lead of it is counted or analysed.
            if (review.damagedSecond < 0 && !turns.Follows(f.leadIndex)) {
                review.damagedSecond = static_cast<int>(i / kPacketsPerSecond);
                engine.ResetLeadState();
                engine.EmptyInput();
            }
            if (review.damagedSecond < 0) {
                if (!seen[f.leadIndex]) {
                    seen[f.leadIndex] = true;
                    ++review.leadsSeen;
                }
                if (i % 2 == 0)
                    engine.PushSample(sample);
                engine.ProcessSample(f.leadIndex);
                if ((i + 1) % kPacketsPerLead == 0) {
                    engine.FinishLead(f.leadIndex);
                    finished[f.leadIndex] = true;
                    engine.ResetLeadState();
                    engine.EmptyInput();
                }
            }
            const int16_t held = hold.Take(i, kPacketsPerPoint, sample);
            if (i % kPacketsPerPoint == 0) {
                DisplayPoint p;
                p.sample = held;
                p.leadIndex = f.leadIndex;
                p.speedCode = 2;
                p.gainCode = static_cast<uint8_t>(f.gainCode + 1);
                p.filterCode = f.filterCode;
                p.modeFlag = f.modeFlag;
                p.rangeFlag = f.rangeFlag;
                review.points.push_back(p);
            }
            last = chunk[k];
        }
    }
    if (i > 0) {
        review.lastLead = ExtractFields(last.data()).leadIndex;
        if (liveDecoder)
            liveDecoder->DecodeFields(last);
    }

    if (file.Failed()) {
        engine.ClearResults();
        return ReviewOutcome::ReadFailed;
    }
    // Twelve lead indices alone are not enough: a recording stopped inside V6 would be analysed
    // with a lead whose segment was never closed. Every lead needs a finished segment.
    const bool allFinished =
        std::all_of(finished.begin(), finished.end(), [](bool f) { return f; });
    if (review.leadsSeen == kRecordLeads && allFinished) {
        review.firstLine = engine.RunAnalysis(lines, language);
        review.analysed = true;
    } else {
        // A partial record shows no measurements at all, rather than the previous record's.
        engine.ClearResults();
    }
    return ReviewOutcome::Loaded;
}
