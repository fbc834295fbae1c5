#pragma once
// Placeholder: the history patient list; exec() returns Accepted when a record was chosen
// (App().state.lastSavedRecordPath names it).
#include <QDialog>

class HistoryPatientListDialog : public QDialog {
    Q_OBJECT
public:
    explicit HistoryPatientListDialog(QWidget* parent = nullptr);
};
