#pragma once
// Demo playback: a record file fed packet by packet at the recorder's pace, 800 packets per
// second by the clock, and from its first packet again at its end, until stopped.
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>
#include <functional>

#include "device/DevicePacket.h"

class DemoPlayer : public QObject {
    Q_OBJECT
public:
    using PacketHandler = std::function<void(const DevicePacket&)>;
    explicit DemoPlayer(PacketHandler handler, QObject* parent = nullptr);

    // False (nothing plays) when the file cannot be read or is shorter than one packet.
    bool Start(const QString& path);
    void Stop();

signals:
    // A read failed while playing; playback has stopped.
    void failed();

private:
    void OnTick();

    PacketHandler handler_;
    QTimer timer_;
    QElapsedTimer clock_;
    QFile file_;
    qint64 playable_ = 0;    // the whole packets of the file, in bytes
    qint64 packetsDue_ = 0;  // packets accounted for since playback started
};
