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

// Stores what it receives in `folder`; `options` are storescp's own (--refuse, --abort-during …).
class StoreScp {
public:
    StoreScp(const QStringList& options, const std::filesystem::path& folder) : port_(FreePort())
    {
        std::filesystem::create_directories(folder);
        scp_.start("storescp", QStringList(options) << "-od" << QString::fromStdString(folder.string())
                                                    << QString::number(port_));
        for (int i = 0; i < 100; ++i) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port_);
            if (probe.waitForConnected(100))
                return;
            QThread::msleep(50);
        }
        ADD_FAILURE() << "storescp did not start";
    }
    ~StoreScp()
    {
        scp_.kill();
        scp_.waitForFinished();
    }
    quint16 Port() const { return port_; }

private:
    quint16 port_;
    QProcess scp_;
};
