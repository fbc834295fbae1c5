#pragma once
// The window and its dialogs driven as a user drives them: a button found by its caption, and a
// modal dialog acted on as soon as it shows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <functional>

// The button of `window` that reads `caption`.
inline QPushButton& ButtonNamed(const QWidget& window, const QString& caption)
{
    for (QPushButton* button : window.findChildren<QPushButton*>())
        if (button->text() == caption)
            return *button;
    ADD_FAILURE() << "no button " << caption.toStdString();
    static QPushButton none;
    return none;
}

// Runs `act` on the next modal dialog of type T as soon as it is shown, while the caller is
// blocked in its exec().
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
