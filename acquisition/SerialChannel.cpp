#include "acquisition/SerialChannel.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <algorithm>


namespace {

// A report is at most this long; the system's error text is cut to fit.
constexpr int kReportLength = 199;

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

SerialChannel::SerialChannel(QObject* parent) : QObject(parent) {}

SerialChannel::~SerialChannel()
{
    Close();
}

QString SerialChannel::DeviceForPort(int portNumber, const QString& workingDirectory)
{
    if (portNumber < 1)
        return {};
    // A link in the working directory wins, so a recorder on any device can be named COM<N>.
    const QString local = QDir(workingDirectory).filePath(QStringLiteral("COM%1").arg(portNumber));
    if (QFileInfo::exists(local))
        return local;
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names << info.systemLocation();
    names.sort();
    return portNumber <= names.size() ? names[portNumber - 1] : QString();
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

    // Links are followed here: the port object wants the device itself.
    const QString target = QFileInfo(deviceName_).canonicalFilePath();
    port_ = std::make_unique<QSerialPort>();
    port_->setPortName(target.isEmpty() ? deviceName_ : target);
    // Like the driver's own queue: while delivery is suspended the port stops taking bytes once
    // this much is waiting, and the rest stays in the system's queue.
    port_->setReadBufferSize(4096);
    if (!port_->open(QIODevice::ReadOnly)) {
        port_.reset();
        return false;
    }

    // The first configuration step that fails is reported and the rest are skipped; the port
    // stays open as it is.
    QSerialPort::Parity parityValue = QSerialPort::NoParity;
    if (!port_->setBaudRate(baud))
        Report("SetBaudRate()", port_->errorString());
    else if (!ToParity(parity, parityValue) || !port_->setParity(parityValue))
        Report("SetParity()", port_->errorString());
    else if (!port_->setDataBits(static_cast<QSerialPort::DataBits>(dataBits)))
        Report("SetDataBits()", port_->errorString());
    else if (!port_->setStopBits(stopBits == 2 ? QSerialPort::TwoStop
                                 : stopBits == 3 ? QSerialPort::OneAndHalfStop
                                                 : QSerialPort::OneStop))
        Report("SetStopBits()", port_->errorString());
    else if (!port_->setFlowControl(QSerialPort::NoFlowControl))
        Report("SetFlowControl()", port_->errorString());
    else if (!port_->setRequestToSend(true) && port_->error() != QSerialPort::UnsupportedOperationError)
        Report("SetRequestToSend()", port_->errorString());
    port_->clearError();
    port_->clear();

    connect(port_.get(), &QSerialPort::readyRead, this, &SerialChannel::OnReadyRead);
    connect(port_.get(), &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { OnError(static_cast<int>(error)); });
    return true;
}

bool SerialChannel::BeginWatching()
{
    if (!IsOpen())
        return false;
    // The watch starts with an empty queue, as a fresh watcher purges the port.
    port_->clear();
    pendingBegin_ = pendingEnd_ = 0;
    watching_ = true;
    suspendCount_ = 0;
    // A queue that filled up while nobody watched has stopped the port's read notification;
    // only a read starts it again.
    Deliver();
    return true;
}

void SerialChannel::SuspendWatching()
{
    if (watching_)
        ++suspendCount_;
}

void SerialChannel::ResumeWatching()
{
    if (suspendCount_ > 0 && --suspendCount_ == 0)
        Deliver();
}

void SerialChannel::Close()
{
    watching_ = false;
    suspendCount_ = 0;
    pendingBegin_ = pendingEnd_ = 0;
    readFailureReported_ = false;
    if (port_) {
        port_->disconnect(this);
        port_->close();
        // Closing may happen inside a byte handler that the port's signal called.
        port_.release()->deleteLater();
    }
}

bool SerialChannel::IsOpen() const
{
    return port_ && port_->isOpen();
}

void SerialChannel::OnReadyRead()
{
    Deliver();
}

void SerialChannel::Deliver()
{
    // A handler that opens a modal box runs a nested event loop; the outer call keeps delivering.
    if (delivering_)
        return;
    delivering_ = true;
    while (IsWatching() && port_) {
        if (pendingBegin_ == pendingEnd_) {
            const qint64 got = port_->read(pending_.data(), static_cast<qint64>(pending_.size()));
            if (got <= 0)
                break;
            pendingBegin_ = 0;
            pendingEnd_ = static_cast<int>(got);
        }
        while (pendingBegin_ < pendingEnd_ && IsWatching())
            owner_(static_cast<uint8_t>(pending_[pendingBegin_++]));
    }
    delivering_ = false;
}

void SerialChannel::OnError(int error)
{
    if (error == QSerialPort::NoError || !port_)
        return;
    // One report per open: an unplugged adapter keeps failing until the port is reopened.
    if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError) {
        if (!readFailureReported_) {
            readFailureReported_ = true;
            Report("ReadFile()", port_->errorString());
        }
        // A device that is gone (cable pulled, the other end of a pseudo-terminal closed) keeps
        // the port readable forever with nothing to read, which would spin the event loop; it
        // delivers nothing more until the port is opened again (Setup, or STOP of a demo).
        QMetaObject::invokeMethod(
            this, [this] {
                if (port_)
                    port_->close();
            },
            Qt::QueuedConnection);
    }
}

void SerialChannel::Report(const char* operation, const QString& systemText)
{
    QString text = QStringLiteral("WARNING:  %1 Failed with the following error: \n%2\nPort: %3\n")
                       .arg(QString::fromLatin1(operation), systemText, QString::number(portNumber_));
    text.truncate(kReportLength);
    emit failed(text);
}
