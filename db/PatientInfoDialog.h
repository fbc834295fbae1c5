#pragma once
// Placeholder: the patient information dialog; exec() returns Accepted when a patient was created.
#include <QDialog>

class PatientInfoDialog : public QDialog {
    Q_OBJECT
public:
    explicit PatientInfoDialog(QWidget* parent = nullptr);
};
