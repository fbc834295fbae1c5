#pragma once
// Recording: the recorder's stream stored for a patient, on the serial watcher's thread and a
// writer thread of its own, so nothing the window does (a dialog, a slow database, a blocked
// event loop) can cost a packet of a record. The watcher hands every chunk it reads to
// TakeBytes, which assembles the packets, waits for lead I to begin, checks that the stream is
// the recorder's and queues the packets; once a second the writer appends what is queued and
// syncs it to the disk, so a stalled stream's last packets are on the disk within a second too.
//
// A recording ends by itself when a write fails or the record file vanished or was replaced
// (a save error), or when the stream is not an ECG recorder's; what was stored until then stays
// whole. The window learns it from ended() and asks Stop() how it ended.
#include <QObject>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "device/PacketSink.h"
#include "device/StreamDecoder.h"
#include "record/LeadTurns.h"
#include "record/RecordWriter.h"

enum class RecordingFailure {
    None,
    SaveError,          // a write failed, or the record file is gone or not the one made
    NotRecorderStream,  // leads out of the recorder's order, or far too many packets a second
};

struct RecordingEnd {
    RecordingFailure failure = RecordingFailure::None;
    bool kept = false;  // the record file holds at least one whole second
};

class StreamRecorder : public QObject, private PacketSink {
    Q_OBJECT
public:
    StreamRecorder();
    ~StreamRecorder() override;  // ends a recording as Stop does

    // On the window's thread. Start creates the record file in folder at once (see
    // RecordWriter::Start); false when that fails, and nothing is recorded.
    bool Start(const std::filesystem::path& folder, std::time_t start);
    // Ends the recording: what is queued is written and the file closed (removed when it holds
    // less than a second).
    RecordingEnd Stop();
    // The recording under way ended by itself; Stop() tells how.
    bool Failed() const;
    const std::filesystem::path& Path() const { return writer_.Path(); }

    // On the watcher's thread: the bytes as the port gave them.
    void TakeBytes(const uint8_t* bytes, std::size_t count);

signals:
    // The recording ended by itself (emitted on the watcher or the writer thread).
    void ended();

private:
    PacketModes Modes() const override;
    bool RecordStep(const DevicePacket& packet, const PacketFields& fields) override;
    void DrawPoint(uint8_t, int16_t) override {}
    void UpdateLeadLabels(uint8_t, int, int, int, int, int) override {}
    // With mutex_ held: no packet is taken any more; the first failure is the one told.
    void EndWith(RecordingFailure failure);
    void WriteLoop();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    StreamDecoder decoder_;
    RecordWriter writer_;  // the writer thread's between Start and Stop
    std::thread writerThread_;
    std::vector<DevicePacket> pending_;  // taken, not yet written
    bool taking_ = false;
    bool stopping_ = false;
    RecordingFailure failure_ = RecordingFailure::None;
    // The stream's lead of the last packet (recording or not), for the wait for lead I.
    int lastLead_ = -1;
    bool awaitingLeadI_ = false;
    int waited_ = 0;
    LeadTurns turns_;
    std::chrono::steady_clock::time_point turnStart_;
};
