#pragma once
// Where everything stands in the main window, from the screen's size: the buttons along the top,
// twelve lead panels in two columns with their label strips, the measurement and diagnosis
// panels on the right, the header strip at the bottom.
#include <QRect>
#include <array>

#include "analysis/AnalysisTypes.h"

class QPushButton;
class QWidget;

// Rectangles are kept as the edges the layout names (left/top inclusive, right/bottom the far
// edge), so QRect::right()/bottom() are those edges exactly.
struct WindowLayout {
    std::array<QRect, kLeadCount> leadRect;
    std::array<QRect, kLeadCount> labelRect;
    QRect measurementRect;
    QRect diagnosisRect;
    QRect headerRect;
};
WindowLayout ComputeLayout(int width, int height);

// The buttons, in the order they stand.
struct WindowButtons {
    QPushButton* newPatient = nullptr;
    QPushButton* record = nullptr;
    QPushButton* realTime = nullptr;
    QPushButton* history = nullptr;
    QPushButton* read = nullptr;  // the reading of the record under review
    QPushButton* print = nullptr;
    QPushButton* prev = nullptr;
    QPushButton* next = nullptr;
    QPushButton* readingList = nullptr;  // every record still to be read
    QPushButton* setup = nullptr;
    QPushButton* demo = nullptr;
    QPushButton* close = nullptr;
};
// Makes the buttons on parent, placed for its width and height, with their untranslated
// captions; the ones that need a patient or a review start disabled.
WindowButtons MakeButtons(QWidget* parent, int width, int height);
