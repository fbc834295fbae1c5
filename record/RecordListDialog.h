#pragma once
// Placeholder: the record list dialog (a patient's records, or the demo records).
#include <QDialog>

class RecordListDialog : public QDialog {
    Q_OBJECT
public:
    explicit RecordListDialog(QWidget* parent = nullptr);
    QString patientId;   // history mode: the patient whose records are listed
    int demoMode = 0;    // 1: the records of Data/Demo/
};
