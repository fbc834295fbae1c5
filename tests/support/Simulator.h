#pragma once
// The recorder in tests: the simulator playing onto a pseudo-terminal linked as <dir>/COM<port>,
// and waiting on the event loop for what the window does with it.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

// Processes events until done() holds or timeoutMs pass; gives done().
template <typename Done>
bool RunUntil(Done done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

inline void RunFor(int ms) { RunUntil([] { return false; }, ms); }

// With wait set, the simulator holds back until Go(); otherwise it sends at once.
class Simulator {
public:
    Simulator(const std::filesystem::path& dir, int port, const QStringList& extra, bool wait = true)
    {
        QStringList args = {"--link",
                            QString::fromStdString((dir / ("COM" + std::to_string(port))).string()),
                            "--linger", "60000"};
        if (wait)
            args << "--wait";
        args << extra;
        process.start(CORVIDA_TOOLS_DIR "/corvida-simulator", args);
        EXPECT_TRUE(process.waitForStarted(5000));
        EXPECT_TRUE(process.waitForReadyRead(10000));  // the pty path line: the link exists now
    }
    ~Simulator() { Unplug(); }
    void Go()
    {
        process.write("go\n");
        process.waitForBytesWritten(1000);
    }
    // The cable pulled: the simulator ends at once.
    void Unplug()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.kill();
        process.waitForFinished(3000);
    }

    QProcess process;
};
