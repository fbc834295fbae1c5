#pragma once
// The New Patient dialog: the facts of a new patient. OK stores them as a new row, makes the
// patient's data folder and reports the new header line and the patient to the opener, which
// starts live monitoring; exec() returns Accepted only when a patient was stored. Cancel stores
// nothing.
#include <QDialog>
#include <cstdint>

#include "dialogs/AppContext.h"
#include "db/PatientRecord.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class PatientInfoDialog : public QDialog {
    Q_OBJECT
public:
    // portOpen: whether the serial port is open; without it no patient is made.
    PatientInfoDialog(const AppContext& context, bool portOpen, QWidget* parent = nullptr);

    // Checks, stores and hands the patient to the opener; stays open on any refusal.
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

signals:
    void headerChanged(const QString& line1, const QString& line2);
    // After the dialog was accepted: the stored patient's ID and facts.
    void patientCreated(int32_t id, const PatientRecord& facts);

private:
    QString Translate(const char* key) const { return context_.Translate(key); }
    // The note with its line breaks as CR LF, the form stored and counted.
    QString OtherText() const;
    void HoldNoteToLimit(int position, int added);
    bool ReadNumber(QLineEdit* edit, int min, int max, int32_t& value);

    AppContext context_;
    bool portOpen_;
    int32_t storedId_ = 0;
    bool trimmingNote_ = false;
};
