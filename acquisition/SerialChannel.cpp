#include "acquisition/SerialChannel.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <algorithm>
#include <filesystem>

namespace {

// A report is at most this long; the system's error text is cut to fit.
constexpr int kReportLength = 199;
// Over a minute of the recorder's stream (3.3 KB/s with its fillers) for an owner that is busy
// or suspended; after that the oldest bytes give way.
constexpr std::size_t kBufferBytes = 256 * 1024;
// The owner gets what arrived about sixty times a second.
constexpr int kDeliveryIntervalMs = 16;
// A port that wakes the watcher this many times in a row with nothing to read is gone (a cable
// pulled, the far end of a pseudo-terminal closed): a busy machine gives the odd empty wake-up.
constexpr int kDeadPortWakeups = 50;

bool ToParity(char code, QSerialPort::Parity& parity)
{
    switch (code) {
    case 'N': parity = QSerialPort::NoParity; return true;
    case 'O': parity = QSerialPort::OddParity; return true;
    case 'E': parity = QSerialPort::EvenParity; return true;
    case 'M': parity = QSerialPort::MarkParity; return true;
    case 'S': parity = QSerialPort::SpaceParity; return true;
    default: return false;
    }
}

}  // namespace

SerialChannel::SerialChannel(StreamTap tap, QObject* parent)
    : QObject(parent), tap_(std::move(tap)), watcherContext_(new QObject), buffer_(kBufferBytes)
{
    watcher_.setObjectName("serial watcher");
    watcherContext_->moveToThread(&watcher_);
    connect(&watcher_, &QThread::finished, watcherContext_, &QObject::deleteLater);
    watcher_.start();
    deliveryTimer_.setInterval(kDeliveryIntervalMs);
    connect(&deliveryTimer_, &QTimer::timeout, this, &SerialChannel::Deliver);
}

SerialChannel::~SerialChannel()
{
    Close();
    watcher_.quit();
    watcher_.wait();
}

QString SerialChannel::DeviceForPort(int portNumber, const QString& workingDirectory)
{
    if (portNumber < 1)
        return {};
    // An entry in the working directory wins, so a recorder on any device can be named COM<N>;
    // a link whose adapter is unplugged is still that port, never another device.
    const QString local = QDir(workingDirectory).filePath(QStringLiteral("COM%1").arg(portNumber));
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(local.toStdString(), error)))
        return local;
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names << info.systemLocation();
    names.sort();
    return portNumber <= names.size() ? names[portNumber - 1] : QString();
}

void SerialChannel::OnWatcher(const std::function<void()>& work)
{
    QMetaObject::invokeMethod(watcherContext_, work, Qt::BlockingQueuedConnection);
}

bool SerialChannel::Open(ByteHandler owner, int portNumber, int baud, char parity, int dataBits,
                         int stopBits, uint32_t, int)
{
    Close();
    owner_ = std::move(owner);
    portNumber_ = portNumber;
    deviceName_ = DeviceForPort(portNumber, QDir::currentPath());
    if (deviceName_.isEmpty())
        return false;
    bool opened = false;
    QString failure;
    OnWatcher([&] { opened = OpenPort(deviceName_, baud, parity, dataBits, stopBits, failure); });
    if (!failure.isEmpty())
        emit failed(failure);
    return opened;
}

bool SerialChannel::OpenPort(const QString& device, int baud, char parity, int dataBits,
                             int stopBits, QString& failure)
{
    // Links are followed here: the port object wants the device itself.
    const QString target = QFileInfo(device).canonicalFilePath();
    port_ = std::make_unique<QSerialPort>();
    port_->setPortName(target.isEmpty() ? device : target);
    if (!port_->open(QIODevice::ReadOnly)) {
        port_.reset();
        return false;
    }

    // The first configuration step that fails is reported and the rest are skipped; the port
    // stays open as it is.
    QSerialPort::Parity parityValue = QSerialPort::NoParity;
    if (!port_->setBaudRate(baud))
        failure = ReportText("SetBaudRate()", port_->errorString());
    else if (!ToParity(parity, parityValue) || !port_->setParity(parityValue))
        failure = ReportText("SetParity()", port_->errorString());
    else if (!port_->setDataBits(static_cast<QSerialPort::DataBits>(dataBits)))
        failure = ReportText("SetDataBits()", port_->errorString());
    else if (!port_->setStopBits(stopBits == 2 ? QSerialPort::TwoStop
                                 : stopBits == 3 ? QSerialPort::OneAndHalfStop
                                                 : QSerialPort::OneStop))
        failure = ReportText("SetStopBits()", port_->errorString());
    else if (!port_->setFlowControl(QSerialPort::NoFlowControl))
        failure = ReportText("SetFlowControl()", port_->errorString());
    else if (!port_->setRequestToSend(true) && port_->error() != QSerialPort::UnsupportedOperationError)
        failure = ReportText("SetRequestToSend()", port_->errorString());
    port_->clearError();
    port_->clear();
    readFailureReported_ = false;
    emptyWakeups_ = 0;
    connect(port_.get(), &QSerialPort::readyRead, port_.get(), [this] { ReadPort(); });
    connect(port_.get(), &QSerialPort::errorOccurred, port_.get(),
            [this](QSerialPort::SerialPortError error) { OnPortError(static_cast<int>(error)); });
    open_ = true;
    return true;
}

bool SerialChannel::BeginWatching()
{
    if (!IsOpen())
        return false;
    // The watch starts with an empty queue, as a fresh watcher purges the port: the watcher keeps
    // the port's own queue empty, so emptying the buffer is enough.
    OnWatcher([this] {
        const std::lock_guard lock(bufferMutex_);
        taken_ = written_;
    });
    pendingBegin_ = pendingEnd_ = 0;
    watching_ = true;
    suspendCount_ = 0;
    deliveryTimer_.start();
    return true;
}

void SerialChannel::SuspendWatching()
{
    if (watching_)
        ++suspendCount_;
    deliveryTimer_.stop();
}

void SerialChannel::ResumeWatching()
{
    if (suspendCount_ > 0 && --suspendCount_ == 0)
        deliveryTimer_.start();
}

void SerialChannel::Close()
{
    deliveryTimer_.stop();
    watching_ = false;
    suspendCount_ = 0;
    pendingBegin_ = pendingEnd_ = 0;
    OnWatcher([this] {
        ClosePort();
        const std::lock_guard lock(bufferMutex_);
        taken_ = written_;
    });
}

void SerialChannel::ClosePort()
{
    open_ = false;
    if (port_) {
        port_->disconnect();
        port_->close();
        port_.reset();
    }
}

void SerialChannel::ReadPort()
{
    std::array<uint8_t, 4096> chunk;
    for (;;) {
        const qint64 got = port_->read(reinterpret_cast<char*>(chunk.data()), qint64(chunk.size()));
        if (got <= 0)
            break;
        emptyWakeups_ = 0;
        if (tap_)
            tap_(chunk.data(), static_cast<std::size_t>(got));
        Store(chunk.data(), static_cast<std::size_t>(got));
    }
}

void SerialChannel::Store(const uint8_t* bytes, std::size_t count)
{
    const std::lock_guard lock(bufferMutex_);
    for (std::size_t i = 0; i < count; ++i)
        buffer_[(written_ + i) % kBufferBytes] = bytes[i];
    written_ += count;
    taken_ = std::max(taken_, written_ - std::min<uint64_t>(written_, kBufferBytes));
}

std::size_t SerialChannel::Take(uint8_t* out, std::size_t max)
{
    const std::lock_guard lock(bufferMutex_);
    const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(max, written_ - taken_));
    for (std::size_t i = 0; i < n; ++i)
        out[i] = buffer_[(taken_ + i) % kBufferBytes];
    taken_ += n;
    return n;
}

void SerialChannel::Deliver()
{
    // A handler that opens a modal box runs a nested event loop; the outer call keeps delivering.
    if (delivering_)
        return;
    delivering_ = true;
    // At most a buffer's worth a call: a stream faster than the owner keeps it no longer.
    std::size_t budget = kBufferBytes;
    while (IsWatching()) {
        if (pendingBegin_ == pendingEnd_) {
            pendingBegin_ = 0;
            pendingEnd_ = Take(pending_.data(), std::min(pending_.size(), budget));
            budget -= pendingEnd_;
            if (pendingEnd_ == 0)
                break;
        }
        while (pendingBegin_ < pendingEnd_ && IsWatching())
            owner_(pending_[pendingBegin_++]);
    }
    delivering_ = false;
}

void SerialChannel::OnPortError(int error)
{
    if (error == QSerialPort::NoError || !port_)
        return;
    // One report per open: an unplugged adapter keeps failing until the port is reopened.
    const bool gone = error == QSerialPort::ResourceError
                      || (error == QSerialPort::ReadError && ++emptyWakeups_ >= kDeadPortWakeups);
    if (gone) {
        if (!readFailureReported_) {
            readFailureReported_ = true;
            emit failed(ReportText("ReadFile()", port_->errorString()));
        }
        // A device that is gone (cable pulled, the other end of a pseudo-terminal closed) keeps
        // the port readable forever with nothing to read, which would spin the watcher; it
        // delivers nothing more until the port is opened again (Setup, or STOP of a demo).
        QMetaObject::invokeMethod(
            watcherContext_,
            [this, dead = port_.get()] {
                if (port_.get() == dead)
                    ClosePort();
            },
            Qt::QueuedConnection);
    }
}

QString SerialChannel::ReportText(const char* operation, const QString& systemText) const
{
    QString text = QStringLiteral("WARNING:  %1 Failed with the following error: \n%2\nPort: %3\n")
                       .arg(QString::fromLatin1(operation), systemText, QString::number(portNumber_));
    text.truncate(kReportLength);
    return text;
}
