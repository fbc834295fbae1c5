#pragma once
// The hospital's worklist for New Patient: asks it for this station's scheduled steps on a thread
// of its own (a slow worklist never holds the window), lists them by scheduled time, narrows the
// list by name or patient ID as the filter is typed, and hands the chosen entry back through
// entryChosen. A worklist that cannot answer is named in a message and the list closes, so the
// patient can be typed by hand.
#include <QDialog>
#include <vector>

#include "dialogs/AppContext.h"
#include "dicom/WorklistQuery.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class WorklistDialog : public QDialog {
    Q_OBJECT
public:
    WorklistDialog(const AppContext& context, const WorklistSettings& settings, QWidget* parent = nullptr);

    // Hands the selected entry on and closes; refuses an entry the patient table cannot hold.
    void OnChoose();

    QLineEdit* filterEdit = nullptr;
    QTableWidget* list = nullptr;
    QLabel* statusLabel = nullptr;
    QPushButton* chooseButton = nullptr;
    QPushButton* cancelButton = nullptr;

signals:
    void entryChosen(const WorklistEntry& entry);

private:
    QString Translate(const char* key) const { return context_.Translate(key); }
    void OnAnswer(const WorklistAnswer& answer);
    void OnFilter(const QString& text);
    void Tell(const QString& text);

    AppContext context_;
    std::vector<WorklistEntry> entries_;
};
