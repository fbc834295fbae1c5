#pragma once
// The reading of one record: its twelve leads as printed beside the machine's measurements and
// statements, which the reader edits (statements removed or added from the catalogue, interval
// values corrected with the machine's shown beside, a comment) and confirms under the name of
// the station's logged-in user, which cannot be changed here. A confirmed reading is shown as it
// stands, with every earlier version to look at, and can be amended with a reason. Whatever the
// reader typed stays in the dialog until it is stored: when another station confirmed first, the
// reader is told who did and amends.
#include <QDialog>
#include <array>
#include <vector>

#include "analysis/Reading.h"
#include "db/ReadingStore.h"
#include "dialogs/AppContext.h"
#include "foundation/StationUser.h"

class LeadSheet;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class ReadingDialog : public QDialog {
    Q_OBJECT
public:
    // Reads the record, its analysis and its stored versions. When that fails the reason is told
    // and Loaded() is false: the dialog is not to be shown.
    ReadingDialog(const AppContext& context, const QString& recordPath, QWidget* parent = nullptr);
    bool Loaded() const { return loaded_; }

    // The file of this station that remembers each user's printed name: Station.ini beside
    // Settings.ini.
    static QString StationFile(const AppSettings& settings);

    void OnConfirm();
    void OnAmend();
    void OnAddStatement();
    void OnRemoveStatement();
    void OnVersionChosen(int index);
    void OnFilter(const QString& text);

    LeadSheet* sheet = nullptr;
    QLabel* readerLabel = nullptr;
    QComboBox* versionList = nullptr;  // the machine's reading first, then every stored version
    std::array<QLabel*, kReadingValueCount> machineValues{};
    std::array<QLineEdit*, kReadingValueCount> valueEdits{};  // empty: the machine's value stands
    QListWidget* statementList = nullptr;
    QPushButton* removeButton = nullptr;
    QLineEdit* catalogueFilter = nullptr;
    QListWidget* catalogueList = nullptr;
    QPushButton* addButton = nullptr;
    QPlainTextEdit* commentEdit = nullptr;
    QLabel* commentCount = nullptr;
    QLineEdit* reasonEdit = nullptr;
    QLineEdit* printedNameEdit = nullptr;
    QPushButton* amendButton = nullptr;
    QPushButton* confirmButton = nullptr;
    QPushButton* closeButton = nullptr;

signals:
    // A version was stored: what shows the record shows it now.
    void readingStored(const Reading& reading);

private:
    QString Translate(const char* key) const { return context_.Translate(key); }
    void Tell(const QString& text);
    bool Load();
    void FillVersions();
    // The editors show a reading; editing says whether they take input.
    void Show(const Reading& reading);
    void SetEditing(bool editing);
    // The reading the editors hold; nullopt after telling what keeps it from being one.
    std::optional<Reading> Typed();
    void AddStatementItem(const ReadingStatement& statement);
    void UpdateCommentCount();

    AppContext context_;
    QString path_;
    bool loaded_ = false;
    RecordKey key_;
    Reading machine_;
    MeasurementSet machineMeasurements_;
    std::vector<Reading> versions_;  // stored, 0 (the machine's, when registered) first
    int basedOn_ = 0;                // the version a confirmation or amendment builds on
    StationUser user_;
};
