#pragma once
// The record list: a patient's records shown by recording time with the state of their reading
// (history mode; Read ECG opens a record's reading), or the demo records shown by file name (demo
// mode). The choice is handed back through recordPath, demoFilePath and the OK result.
#include <QDialog>
#include <QStringList>
#include <optional>

#include "dialogs/AppContext.h"

class QTableWidget;
class QPushButton;

class RecordListDialog : public QDialog {
    Q_OBJECT
public:
    explicit RecordListDialog(const AppContext& context, QWidget* parent = nullptr);

    // Set by the opener before exec().
    QString patientId;  // history mode: the patient whose records are listed
    int demoMode = 0;   // 1: the records of Data/Demo/

    // Written on a choice, in both modes (each opener reads the one of its mode): the record
    // path DataRoot() + "/" + patientId + "/" + name, which becomes the record to review, and
    // "Data/Demo/" + name, which the DEMO command plays. OK without a chosen row sets an empty
    // record path (the opener forgets its last record) and rejects; Cancel sets nothing.
    std::optional<QString> recordPath;
    QString demoFilePath;

    // The row text of a record file in history mode: "RealTime" (translated) followed by the time
    // taken from the fixed positions of the name m<yyyy><mm><dd><hh><mi>.cv. Shorter names give a
    // shorter time text.
    static QString HistoryRowText(const QString& fileName, const LanguageTable& language);

    // The reading column of a history row: "Unread", or who confirmed or amended it last and
    // when; empty when the database cannot say.
    enum Column { kRecordColumn, kReadingColumn };

    // Opens the reading of the selected record (history mode); its row shows the new state.
    void OnRead();

    // The file names found, in the file system's order; index i belongs to row i.
    QStringList fileNames;
    QTableWidget* list = nullptr;
    QPushButton* readButton = nullptr;  // history mode only
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString Translate(const char* key) const;
    void Fill();
    void OnOk();
    void OnDoubleClick(int row);
    void Choose(int row);
    void ShowReadings();

    AppContext context_;
    bool filled_ = false;
};
