#pragma once
// Acting on a modal dialog as the user does, while the code that opened it waits in its exec().
#include <QApplication>
#include <QTimer>
#include <functional>

// Runs `act` on the next modal dialog of type T as soon as it is shown.
template <class T>
void WhenShown(std::function<void(T&)> act)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            act(*dialog);
        }
    });
    poll->start(10);
}
