#pragma once
// storescp (Debian dcmtk) on 127.0.0.1 for the tests that send to a PACS: ready once it takes
// connections, killed with the object. Needs Qt Network.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <filesystem>

// A port nothing listens on at the moment of asking.
inline quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A DICOM server program listening on a free port given as its last argument.
class ScpProcess {
public:
    ScpProcess(const QString& program, const QStringList& arguments) : port_(FreePort())
    {
        scp_.start(program, QStringList(arguments) << QString::number(port_));
        for (int i = 0; i < 100; ++i) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port_);
            if (probe.waitForConnected(100))
                return;
            QThread::msleep(50);
        }
        ADD_FAILURE() << program.toStdString() << " did not start";
    }
    ~ScpProcess()
    {
        scp_.kill();
        scp_.waitForFinished();
    }
    quint16 Port() const { return port_; }

private:
    quint16 port_;
    QProcess scp_;
};

inline QString MadeFolder(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    return QString::fromStdString(folder.string());
}

// Stores what it receives in `folder`; `options` are storescp's own (--refuse, --abort-during …).
class StoreScp : public ScpProcess {
public:
    StoreScp(const QStringList& options, const std::filesystem::path& folder)
        : ScpProcess("storescp", QStringList(options) << "-od" << MadeFolder(folder))
    {
    }
};
