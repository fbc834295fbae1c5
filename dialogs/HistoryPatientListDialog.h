#pragma once
// The history patient list: the live patients newest first, filtered by name and clinical number;
// Delete, Export, Import, and View, which opens the chosen patient's record list. exec() returns
// Accepted when a record was chosen there (recordPathChanged named it and the patient is the
// viewed patient), Rejected after Close. When Settings.ini sets up a PACS, the list's context
// menu offers Send to PACS for the current patient; the opener sends (sendRequested).
#include <QDialog>
#include <QString>
#include <QStringList>
#include <memory>

#include "dialogs/AppContext.h"
#include "db/PatientRecord.h"
#include "dicom/PacsSender.h"

class AdoRecordSet;
struct PatientQuery;
class QAction;
struct ExportResult;
struct ImportResult;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class HistoryPatientListDialog : public QDialog {
    Q_OBJECT
public:
    // viewedPatientId: the patient chosen in the list last time, if any.
    HistoryPatientListDialog(const AppContext& context, const QString& viewedPatientId,
                             QWidget* parent = nullptr);
    ~HistoryPatientListDialog() override;

    // List columns.
    enum Column { kClinicalNoColumn, kNameColumn, kSexColumn, kDateColumn, kHistoryFileColumn };

    void OnQuery();
    void OnDelete();
    void OnView();
    void OnExport();
    void OnImport();
    // Asks the opener to send every record of the current patient (sendRequested).
    void OnSendToPacs();
    // Whether Send to PACS may be chosen: not while a send runs.
    void AllowSend(bool allowed);
    void OnClose();

    // The working directory at opening with a separator appended; column 4 shows a record folder
    // in the data root under it, or as it is when the data root is absolute.
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
    // The context menu's Send to PACS; null when no PACS is set up.
    QAction* sendAction = nullptr;

    // The viewed patient; an empty list opened forgets it. Changes are reported as they happen.
    const QString& ViewedPatientId() const { return viewedPatientId_; }

    // What an export and an import did, told in the list's messages (caption "History Patient
    // List", exclamation icon, OK), in the order they happened.
    static void Report(const AppContext& context, const ExportResult& result);
    static void Report(const AppContext& context, const ImportResult& result);
    // What each object of a send came to, one line each, in the same kind of message.
    static void Report(const AppContext& context, const std::vector<ObjectOutcome>& outcomes);

signals:
    // The viewed patient was deleted: the header names no one.
    void headerCleared();
    // The record to review; empty when the last one is to be forgotten.
    void recordPathChanged(const QString& path);
    void viewedPatientChanged(const QString& id);
    // The patient whose record was chosen, for the header.
    void patientViewed(const PatientRecord& patient);
    // Send to PACS for the patient: its row, its DICOM facts (with its order) and its record
    // files, oldest first.
    void sendRequested(const PatientRecord& row, const DicomPatient& patient, const QStringList& records);
    // The patient is deleted: a window that holds it as its current patient lets it go.
    void patientDeleted(const QString& id);

private:
    QString Translate(const char* key) const { return context_.Translate(key); }
    // Shows text (already translated) with the list's caption, exclamation icon, OK.
    static void Tell(const AppContext& context, const QString& text);
    void Tell(const QString& text) { Tell(context_, text); }
    void SetViewedPatient(const QString& id);
    void FillList();
    // Opens the list's statement and fills the list; a query that fails is said, so a database
    // fault never looks like an empty list.
    void ShowList(const PatientQuery& query);
    // Makes list row `row` (from 0) the recordset's current row and gives its PatientID text.
    bool MoveToRow(int row, QString& idText);
    // The patient of list row `row`, when the database still holds that very patient, live,
    // and its folder is its own. Otherwise says why (a changed patient shows the list anew) and
    // gives false, as for no row at all.
    bool ListedPatient(int row, PatientRecord& patient);
    int RowCount() const;

    AppContext context_;
    QString viewedPatientId_;
    // The rows on display: list row n is recordset row n + 1.
    std::unique_ptr<AdoRecordSet> rows_;
};
