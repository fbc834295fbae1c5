#include "ui/DemoPlayer.h"

#include "record/LeadTurns.h"
#include "record/RecordFile.h"

namespace {

// Packets are due by the clock, checked every 10 ms (8 packets a tick).
constexpr int kDemoTickMs = 10;
// A demo that fell behind by more than a second (a modal dialog, a busy machine) resumes at the
// present instead of rushing through the backlog.
constexpr qint64 kDemoMaxBacklog = kPacketsPerSecond;

}  // namespace

DemoPlayer::DemoPlayer(PacketHandler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler))
{
    connect(&timer_, &QTimer::timeout, this, &DemoPlayer::OnTick);
}

bool DemoPlayer::Start(const QString& path)
{
    Stop();
    // Read whole before playing: a FIFO or a device is refused unopened, and nothing read later
    // can fail half-way through the demo.
    std::optional<std::vector<DevicePacket>> read = ReadRecordPackets(path.toStdString());
    if (!read || read->empty())
        return false;
    packets_ = std::move(*read);
    LeadTurns turns;
    for (const DevicePacket& p : packets_)
        if (!turns.Follows(ExtractFields(p.data()).leadIndex))
            break;
    if (turns.Kept() < packets_.size()) {
        damagedSecond_ = static_cast<int>(turns.Kept() / kPacketsPerSecond);
        packets_.resize(turns.Kept());
    }
    next_ = 0;
    packetsDue_ = 0;
    clock_.start();
    timer_.start(kDemoTickMs);
    return true;
}

void DemoPlayer::Stop()
{
    timer_.stop();
    packets_.clear();
    damagedSecond_ = -1;
}

void DemoPlayer::OnTick()
{
    const qint64 due = clock_.nsecsElapsed() / 1000 * kPacketsPerSecond / 1000000;
    if (due - packetsDue_ > kDemoMaxBacklog)
        packetsDue_ = due - kDemoMaxBacklog;
    // The record repeats from its first packet without a pause.
    for (; packetsDue_ < due && !packets_.empty(); ++packetsDue_) {
        handler_(packets_[next_]);
        next_ = (next_ + 1) % packets_.size();
    }
}
