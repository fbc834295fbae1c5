#include "ui/WindowLayout.h"

#include <QPushButton>
#include <QWidget>

WindowLayout ComputeLayout(int width, int height)
{
    WindowLayout l;
    const int R = width;
    const int bottom = height;
    const int areaTop = height / 35 + 1;
    const int Wp = R / 4;
    const int Wl = R / 8;
    const int Hp = 3 * bottom / 20;
    for (int i = 0; i < 12; ++i) {
        const int c = i / 6;
        const int r = i % 6;
        const int left = Wl + c * (Wl + Wp + 1);
        const int top = areaTop + r * (Hp + 1);
        l.leadRect[i] = QRect(QPoint(left, top), QPoint(left + Wp, top + Hp));
        l.labelRect[i] = QRect(QPoint(left - Wl, top), QPoint(left, top + Hp));
    }
    l.measurementRect = QRect(QPoint(3 * R / 4 + 2, areaTop + 1), QPoint(R - 1, bottom / 3 - 1));
    l.diagnosisRect = QRect(QPoint(3 * R / 4 + 2, bottom / 3 + 1),
                            QPoint(R - 1, l.leadRect[11].bottom() - 1));
    l.headerRect = QRect(QPoint(0, l.leadRect[11].bottom() + 1), QPoint(R, bottom));
    return l;
}

WindowButtons MakeButtons(QWidget* parent, int width, int height)
{
    auto make = [parent](const QString& text) {
        auto* button = new QPushButton(text, parent);
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };
    WindowButtons b;
    b.newPatient = make("New Patient");
    b.record = make("Start Record");
    b.realTime = make("Real-Time View");
    b.history = make("History View");
    b.read = make("Read ECG");
    b.print = make("Print");
    b.prev = make("<");
    b.next = make(">");
    b.readingList = make("Reading List");
    b.setup = make("Setup");
    b.demo = make("DEMO");
    b.close = make("Close");

    const int B = width / 10;
    const int K = height / 35;
    const int small = 2 * B / 3;
    const int R = width;
    b.newPatient->setGeometry(5, 0, B, K);
    b.record->setGeometry(B + 10, 0, B, K);
    b.realTime->setGeometry(2 * B + 15, 0, B, K);
    b.history->setGeometry(3 * B + 20, 0, B, K);
    b.read->setGeometry(4 * B + 25, 0, B, K);
    b.print->setGeometry(5 * B + 30, 0, small, K);
    b.prev->setGeometry(5 * B + 30 + small + 5, 0, 30, K);
    b.next->setGeometry(5 * B + 30 + small + 35, 0, 30, K);
    b.readingList->setGeometry(5 * B + 30 + small + 70, 0, B, K);
    b.setup->setGeometry(R - 3 * (small + 5), 0, small, K);
    b.demo->setGeometry(R - 2 * (small + 5), 0, small, K);
    b.close->setGeometry(R - small - 5, 0, small, K);
    for (QPushButton* button : {b.prev, b.next, b.print, b.read, b.record, b.realTime})
        button->setEnabled(false);
    return b;
}
