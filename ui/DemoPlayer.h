#pragma once
// Demo playback: a record fed packet by packet at the recorder's pace, 800 packets per second by
// the clock, and from its first packet again at its end, until stopped.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <vector>

#include "device/DevicePacket.h"

class DemoPlayer : public QObject {
    Q_OBJECT
public:
    using PacketHandler = std::function<void(const DevicePacket&)>;
    explicit DemoPlayer(PacketHandler handler, QObject* parent = nullptr);

    // False (nothing plays) when the file is no record or holds no whole second. A record whose
    // leads leave the recorder's order plays its whole part only: DamagedSecond() says where
    // the rest begins (-1 when the record is whole).
    bool Start(const QString& path);
    void Stop();
    int DamagedSecond() const { return damagedSecond_; }

private:
    void OnTick();

    PacketHandler handler_;
    QTimer timer_;
    QElapsedTimer clock_;
    std::vector<DevicePacket> packets_;
    std::size_t next_ = 0;
    qint64 packetsDue_ = 0;  // packets accounted for since playback started
    int damagedSecond_ = -1;
};
