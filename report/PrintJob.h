#pragma once
// Placeholder: prints a record (question, printer dialog, pages with the abort box, messages).
#include <QString>

class QWidget;

void PrintRecord(QWidget* owner, const QString& recordPath, int printSpeedIndex);
