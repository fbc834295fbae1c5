#pragma once
// The New Patient dialog: the facts of a new patient. OK stores them as a new row and reports the
// patient to the opener, which names it in the header and starts live monitoring; exec() returns
// Accepted only when a patient was stored. Cancel stores nothing. With a worklist set up, Worklist fills the facts from a scheduled step for the user to
// check and complete, and the patient is stored with that step's order as long as the clinical
// number stays the worklist's patient ID.
#include <QDialog>
#include <cstdint>
#include <optional>

#include "dialogs/AppContext.h"
#include "db/PatientOrder.h"
#include "db/PatientRecord.h"
#include "dicom/DicomSettings.h"

struct WorklistEntry;

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
    QPushButton* worklistButton = nullptr;  // only with a worklist set up
    QLabel* orderLabel = nullptr;           // the order the patient is tied to; empty when none

signals:
    // After the dialog was accepted: the stored patient's ID and row (its NewDate too).
    void patientCreated(int32_t id, const PatientRecord& facts);

private:
    QString Translate(const char* key) const { return context_.Translate(key); }
    // The note with its line breaks as CR LF, the form stored and counted.
    QString OtherText() const;
    void HoldNoteToLimit(int position, int added);
    bool ReadNumber(QLineEdit* edit, int min, int max, int32_t& value);
    void OnWorklist();
    void FillFromWorklist(const WorklistEntry& entry);
    void Untie();

    AppContext context_;
    bool portOpen_;
    int32_t storedId_ = 0;
    bool trimmingNote_ = false;
    std::optional<WorklistSettings> worklist_;
    std::optional<PatientOrder> order_;
};
