#pragma once
// The reading list: every record of the live patients that no physician has confirmed yet,
// across every patient the database holds (on a shared server, every station's), oldest first,
// with its patient, its time and the machine's first statement. Opening a row opens that
// record's reading; a record confirmed there leaves the list.
#include <QDialog>
#include <vector>

#include "db/ReadingStore.h"
#include "dialogs/AppContext.h"

class QPushButton;
class QTableWidget;

class ReadingListDialog : public QDialog {
    Q_OBJECT
public:
    explicit ReadingListDialog(const AppContext& context, QWidget* parent = nullptr);

    enum Column { kNameColumn, kClinicalNoColumn, kRecordColumn, kStatementColumn, kColumns };

    // Opens the reading of the current row.
    void OnOpen();
    // Reads the list again; a database that fails is said, never shown as an empty list.
    void Fill();
    // The record of a row, as its patient's folder holds it.
    QString RecordPath(int row) const;

    QTableWidget* list = nullptr;
    QPushButton* openButton = nullptr;
    QPushButton* closeButton = nullptr;

signals:
    void readingStored(const QString& recordPath);

private:
    AppContext context_;
    std::vector<UnreadRecord> unread_;
};
