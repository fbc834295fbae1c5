#include "acquisition/StreamRecorder.h"

#include "analysis/AnalysisTypes.h"

namespace {

// Queued packets are written once a second.
constexpr auto kWriteInterval = std::chrono::seconds(1);
// Two minutes of stream may wait for a slow disk; a writer further behind would leave a gap.
constexpr std::size_t kQueuePackets = 120 * kPacketsPerSecond;
// A lead turn of 3200 packets takes the recorder 4 s. One that arrives in well under that is
// another device; the margin allows for a busy machine reading a late burst.
constexpr auto kShortestTurn = std::chrono::milliseconds(2500);
// A recorder steps through all twelve leads; a stream in which lead I does not begin within one
// record and a turn is not the recorder's.
constexpr int kLongestWaitForLeadI = kPacketsPerRecord + kPacketsPerLead;

}  // namespace

StreamRecorder::StreamRecorder() : decoder_(nullptr, this) {}

StreamRecorder::~StreamRecorder()
{
    Stop();
}

bool StreamRecorder::Start(const std::filesystem::path& folder, std::time_t start)
{
    Stop();
    if (!writer_.Start(folder, start))
        return false;
    const std::lock_guard lock(mutex_);
    pending_.clear();
    pending_.reserve(kQueuePackets);
    taking_ = true;
    stopping_ = false;
    failure_ = RecordingFailure::None;
    awaitingLeadI_ = true;
    waited_ = 0;
    turns_ = LeadTurns();
    writerThread_ = std::thread(&StreamRecorder::WriteLoop, this);
    return true;
}

RecordingEnd StreamRecorder::Stop()
{
    if (!writerThread_.joinable())
        return {};
    {
        const std::lock_guard lock(mutex_);
        taking_ = false;
        stopping_ = true;
    }
    wake_.notify_all();
    writerThread_.join();
    writer_.Finish();
    const std::lock_guard lock(mutex_);
    return {failure_, writer_.Kept()};
}

bool StreamRecorder::Failed() const
{
    const std::lock_guard lock(mutex_);
    return failure_ != RecordingFailure::None;
}

void StreamRecorder::TakeBytes(const uint8_t* bytes, std::size_t count)
{
    const std::lock_guard lock(mutex_);
    decoder_.DecodeBlock(bytes, count);
}

PacketModes StreamRecorder::Modes() const
{
    PacketModes modes;
    modes.recording = true;
    return modes;
}

bool StreamRecorder::RecordStep(const DevicePacket& packet, const PacketFields& fields)
{
    const bool leadStart = fields.leadIndex != lastLead_;
    lastLead_ = fields.leadIndex;
    if (!taking_ || !fields.validFlag)
        return false;
    // A record is read back as twelve 4 s turns counted from its first packet, and its analysis
    // takes the leads in the recorder's order from lead I: storing begins where lead I begins.
    if (awaitingLeadI_) {
        if (!leadStart || fields.leadIndex != kLeadI) {
            if (++waited_ > kLongestWaitForLeadI)
                EndWith(RecordingFailure::NotRecorderStream);
            return false;
        }
        awaitingLeadI_ = false;
    }
    if (!turns_.Follows(fields.leadIndex)) {
        EndWith(RecordingFailure::NotRecorderStream);
        return false;
    }
    if (turns_.Kept() % kPacketsPerLead == 1) {
        const auto now = std::chrono::steady_clock::now();
        if (turns_.Kept() > 1 && now - turnStart_ < kShortestTurn) {
            EndWith(RecordingFailure::NotRecorderStream);
            return false;
        }
        turnStart_ = now;
    }
    if (pending_.size() >= kQueuePackets) {
        EndWith(RecordingFailure::SaveError);
        return false;
    }
    pending_.push_back(packet);
    return false;  // nothing is drawn from here
}

void StreamRecorder::EndWith(RecordingFailure failure)
{
    taking_ = false;
    wake_.notify_all();
    if (failure_ != RecordingFailure::None)
        return;
    failure_ = failure;
    emit ended();
}

void StreamRecorder::WriteLoop()
{
    std::vector<DevicePacket> batch;
    batch.reserve(kQueuePackets);
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, kWriteInterval, [this] { return stopping_ || !taking_; });
        const bool last = stopping_ || !taking_;
        batch.swap(pending_);
        lock.unlock();
        const bool written = batch.empty() || writer_.Append(batch.data(), batch.size());
        batch.clear();
        lock.lock();
        if (!written)
            EndWith(RecordingFailure::SaveError);
        if (last || !written)
            return;
    }
}
