#include "ui/DemoPlayer.h"

#include <algorithm>
#include <array>
#include <string>

#include "record/RecordFile.h"

namespace {

// Packets are due by the clock, checked every 10 ms (8 packets a tick).
constexpr int kDemoTickMs = 10;
// A demo that fell behind by more than a second (a modal dialog, a busy machine) resumes at the
// present instead of rushing through the backlog.
constexpr qint64 kDemoMaxBacklog = kPacketsPerSecond;
constexpr int kDemoChunkPackets = 256;

}  // namespace

DemoPlayer::DemoPlayer(PacketHandler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler))
{
    connect(&timer_, &QTimer::timeout, this, &DemoPlayer::OnTick);
}

bool DemoPlayer::Start(const QString& path)
{
    Stop();
    // A FIFO or device would block the window in open() or never end; only a record plays.
    std::string why;
    if (!CheckRecordFile(path.toStdString(), why))
        return false;
    file_.setFileName(path);
    // A file shorter than one packet has nothing to repeat; a trailing partial packet is left
    // out so the record wraps on a packet boundary.
    if (!file_.open(QIODevice::ReadOnly) || file_.size() < kPacketBytes) {
        file_.close();
        return false;
    }
    playable_ = file_.size() / kPacketBytes * kPacketBytes;
    packetsDue_ = 0;
    clock_.start();
    timer_.start(kDemoTickMs);
    return true;
}

void DemoPlayer::Stop()
{
    timer_.stop();
    file_.close();
}

void DemoPlayer::OnTick()
{
    if (!file_.isOpen()) {
        Stop();
        return;
    }
    const qint64 due = clock_.nsecsElapsed() / 1000 * kPacketsPerSecond / 1000000;
    if (due - packetsDue_ > kDemoMaxBacklog)
        packetsDue_ = due - kDemoMaxBacklog;
    qint64 left = due - packetsDue_;
    std::array<DevicePacket, kDemoChunkPackets> chunk;
    while (left > 0) {
        const qint64 toEnd = (playable_ - file_.pos()) / kPacketBytes;
        const qint64 n = std::min<qint64>({left, kDemoChunkPackets, toEnd});
        const qint64 bytes = n * kPacketBytes;
        if (n <= 0 || file_.read(reinterpret_cast<char*>(chunk.data()), bytes) != bytes) {
            Stop();
            emit failed();
            return;
        }
        for (qint64 i = 0; i < n; ++i)
            handler_(chunk[i]);
        left -= n;
        packetsDue_ += n;
        // The record repeats from its first packet without a pause.
        if (file_.pos() >= playable_)
            file_.seek(0);
    }
}
