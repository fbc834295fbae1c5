#pragma once
// SIGTERM, SIGINT and SIGHUP turned into a Qt signal on the thread that made this object: the
// handler only writes the signal number to a socket pair (async-signal-safe), and a socket
// notifier reads it back in the event loop, where the program can end as CLOSE would.
// One instance at a time; the default handling is restored when it is destroyed.
#include <QObject>
#include <QSocketNotifier>
#include <memory>

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    // False when the socket pair or a handler could not be set up.
    bool Installed() const { return notifier_ != nullptr; }

signals:
    void received(int signalNumber);

private:
    void Read();

    std::unique_ptr<QSocketNotifier> notifier_;
};
