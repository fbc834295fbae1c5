#pragma once
// The New Patient dialog: the facts of a new patient. OK stores them as a new row, makes the
// patient's data folder, sets the main window's header line and starts live monitoring; exec()
// returns Accepted only when a patient was stored. Cancel stores nothing.
#include <QDialog>
#include <cstdint>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class PatientInfoDialog : public QDialog {
    Q_OBJECT
public:
    explicit PatientInfoDialog(QWidget* parent = nullptr);

    // Checks, stores and hands the patient to the main window; stays open on any refusal.
    void OnOK();
    // The ID of the stored patient (0 before OK succeeded).
    int32_t StoredId() const { return storedId_; }

    QLineEdit* clinicalNoEdit = nullptr;
    QLineEdit* nameEdit = nullptr;
    QLineEdit* ageEdit = nullptr;
    QLineEdit* heightEdit = nullptr;
    QLineEdit* weightEdit = nullptr;
    QComboBox* bloodList = nullptr;
    QComboBox* sexList = nullptr;
    QPlainTextEdit* otherEdit = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

private:
    // The note with its line breaks as CR LF, the form stored and counted.
    QString OtherText() const;
    void HoldNoteToLimit(int position, int added);
    bool ReadNumber(QLineEdit* edit, int min, int max, int32_t& value);

    int32_t storedId_ = 0;
    bool trimmingNote_ = false;
};
