#pragma once
// The receive-only link to the recorder on a serial port. The port is read on a thread of its own
// (the watcher), so nothing the window does can hold the stream up: every chunk read goes first
// to the stream tap (the recording, on the watcher thread), then into a buffer of over a minute
// of stream, from which the owner gets the bytes one by one, in order, on the thread that owns
// the channel (the user-interface thread). A failed port operation is reported by the signal
// failed(); the owner shows it.
//
// Port N is the entry "COM<N>" in the working directory whenever one exists, a link to a
// pseudo-terminal or a USB serial adapter, even a link to nothing (the adapter unplugged: opening
// fails then). Only without such an entry is it the system's N-th serial device.
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QSerialPort;

class SerialChannel : public QObject {
    Q_OBJECT
public:
    using ByteHandler = std::function<void(uint8_t byte)>;
    // Every chunk as it is read, on the watcher thread, whether the owner watches or not.
    using StreamTap = std::function<void(const uint8_t* bytes, std::size_t count)>;

    explicit SerialChannel(StreamTap tap = {}, QObject* parent = nullptr);
    ~SerialChannel() override;  // closes the port

    // Opens and configures the port; false (and no message) when the device cannot be opened.
    // A failing configuration step is reported (failed) and the port stays open. Reopening an open
    // channel closes it first; watching has to be begun again. Parity: 'N', 'O', 'E', 'M', 'S'.
    // The event mask and write buffer size are kept for the record only: the link never writes.
    bool Open(ByteHandler owner, int portNumber, int baud, char parity, int dataBits, int stopBits,
              uint32_t eventMask = 3, int writeBufferSize = 50);
    // Starts delivering bytes to the owner, from an emptied port; false when the port is not open.
    bool BeginWatching();
    // Suspensions are counted: each SuspendWatching needs one ResumeWatching. Bytes arriving while
    // suspended wait in the buffer (the oldest give way after a minute); the tap gets them all.
    void SuspendWatching();
    void ResumeWatching();
    void Close();

    bool IsOpen() const { return open_; }
    bool IsWatching() const { return watching_ && suspendCount_ == 0; }
    int PortNumber() const { return portNumber_; }
    QString DeviceName() const { return deviceName_; }

    // The device port N names: "<dir>/COM<N>" when that entry exists (a dangling link included),
    // else the N-th serial device the system lists (sorted by name), else empty.
    static QString DeviceForPort(int portNumber, const QString& workingDirectory);

signals:
    // A port operation failed: the text names the operation, the system's error and the port.
    void failed(const QString& text);

private:
    // Run on the watcher thread.
    bool OpenPort(const QString& device, int baud, char parity, int dataBits, int stopBits,
                  QString& failure);
    void ClosePort();
    void ReadPort();
    void OnPortError(int error);
    // Runs work on the watcher thread and waits for it.
    void OnWatcher(const std::function<void()>& work);
    QString ReportText(const char* operation, const QString& systemText) const;
    // The buffer between the threads.
    void Store(const uint8_t* bytes, std::size_t count);
    std::size_t Take(uint8_t* out, std::size_t max);
    void Deliver();

    StreamTap tap_;
    QThread watcher_;
    QObject* watcherContext_;            // lives on the watcher thread
    std::unique_ptr<QSerialPort> port_;  // made, used and deleted on the watcher thread
    std::atomic<bool> open_{false};
    bool readFailureReported_ = false;   // watcher thread
    int emptyWakeups_ = 0;               // watcher thread: read errors since the last byte

    std::mutex bufferMutex_;
    std::vector<uint8_t> buffer_;  // a ring; written_ and taken_ count bytes since the start
    uint64_t written_ = 0;
    uint64_t taken_ = 0;

    // The owner's side: the buffer is emptied at frame rate, when the window draws anyway, rather
    // than once for every chunk the port gives.
    QTimer deliveryTimer_;
    ByteHandler owner_;
    int portNumber_ = 0;
    QString deviceName_;
    bool watching_ = false;
    int suspendCount_ = 0;
    bool delivering_ = false;
    // Bytes taken from the buffer but not yet handed over (the owner suspended or closed us).
    std::array<uint8_t, 4096> pending_{};
    std::size_t pendingBegin_ = 0;
    std::size_t pendingEnd_ = 0;
};
