#pragma once
// The history patient list: the live patients newest first, filtered by name and clinical number;
// Delete, Export, Import, and View, which opens the chosen patient's record list. exec() returns
// Accepted when a record was chosen there (App().state.lastSavedRecordPath names it and the patient
// is the viewed patient), Rejected after Close.
#include <QDialog>
#include <QString>
#include <memory>

class AdoRecordSet;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class HistoryPatientListDialog : public QDialog {
    Q_OBJECT
public:
    explicit HistoryPatientListDialog(QWidget* parent = nullptr);
    ~HistoryPatientListDialog() override;

    // List columns.
    enum Column { kClinicalNoColumn, kNameColumn, kSexColumn, kDateColumn, kHistoryFileColumn };

    void OnQuery();
    void OnDelete();
    void OnView();
    void OnExport();
    void OnImport();
    void OnClose();
    void reject() override;

    // The working directory at opening with a separator appended; column 4 shows folders under it.
    QString baseFolder;

    QLabel* nameLabel = nullptr;
    QLineEdit* nameFilter = nullptr;
    QLabel* clinicalNoLabel = nullptr;
    QLineEdit* clinicalNoFilter = nullptr;
    QPushButton* queryButton = nullptr;
    QTableWidget* list = nullptr;
    QPushButton* importButton = nullptr;
    QPushButton* exportButton = nullptr;
    QPushButton* viewButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* closeButton = nullptr;

private:
    void FillList();
    // Makes list row `row` (from 0) the recordset's current row and gives its PatientID text.
    bool MoveToRow(int row, QString& idText);
    int RowCount() const;

    // The rows on display: list row n is recordset row n + 1.
    std::unique_ptr<AdoRecordSet> rows_;
};

// Removes the record files (*.cv) in folder, and those in any folder named *.cv within it. A link
// is removed itself and never followed. False when something could not be removed; a missing
// folder has nothing to remove.
bool DeleteRecordFiles(const QString& folder);
