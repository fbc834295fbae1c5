#pragma once
// The receive-only link to the recorder on a serial port. Bytes reach the owner one by one on the
// thread that owns the channel (the user-interface thread), in order, from the port's ready-read
// notification. A failed port operation is reported by the signal failed(); the owner shows it.
//
// Port N is the file or link "COM<N>" in the working directory when it exists (a link to a
// pseudo-terminal or a USB serial adapter), else the system's N-th serial device.
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QSerialPort;

class SerialChannel : public QObject {
    Q_OBJECT
public:
    using ByteHandler = std::function<void(uint8_t byte)>;

    explicit SerialChannel(QObject* parent = nullptr);
    ~SerialChannel() override;  // closes the port

    // Opens and configures the port; false (and no message) when the device cannot be opened.
    // A failing configuration step is reported (failed) and the port stays open. Reopening an open
    // channel closes it first; watching has to be begun again. Parity: 'N', 'O', 'E', 'M', 'S'.
    // The event mask and write buffer size are kept for the record only: the link never writes.
    bool Open(ByteHandler owner, int portNumber, int baud, char parity, int dataBits, int stopBits,
              uint32_t eventMask = 3, int writeBufferSize = 50);
    // Starts delivering bytes; false when the port is not open.
    bool BeginWatching();
    // Suspensions are counted: each SuspendWatching needs one ResumeWatching. Bytes arriving while
    // suspended wait in the port's queue.
    void SuspendWatching();
    void ResumeWatching();
    void Close();

    bool IsOpen() const;
    bool IsWatching() const { return watching_ && suspendCount_ == 0; }
    int PortNumber() const { return portNumber_; }
    QString DeviceName() const { return deviceName_; }

    // The device port N names: "<dir>/COM<N>" when that exists, else the N-th serial device the
    // system lists (sorted by name), else empty.
    static QString DeviceForPort(int portNumber, const QString& workingDirectory);

signals:
    // A port operation failed: the text names the operation, the system's error and the port.
    void failed(const QString& text);

private:
    void OnReadyRead();
    void OnError(int error);
    void Deliver();
    void Report(const char* operation, const QString& systemText);

    std::unique_ptr<QSerialPort> port_;
    ByteHandler owner_;
    int portNumber_ = 0;
    QString deviceName_;
    bool watching_ = false;
    int suspendCount_ = 0;
    bool delivering_ = false;
    bool readFailureReported_ = false;
    // Bytes taken from the port but not yet handed over (the owner suspended or closed us).
    std::array<char, 4096> pending_{};
    int pendingBegin_ = 0;
    int pendingEnd_ = 0;
};
