#pragma once
// The progress box of a print job: "Printing page  N." and a Cancel button. It cannot be closed
// any other way; Cancel gives the owner window back at once and marks the job for abort. With it,
// the rest of what printing asks and tells.
#include <QDialog>

#include "report/PrintJob.h"

class LanguageTable;
struct AppContext;
class QLabel;
class QPrinter;
class QPushButton;

class AbortBox : public QDialog {
    Q_OBJECT
public:
    // owner: the window disabled for the job, enabled again by Cancel. The box itself has no
    // parent widget, so disabling the owner does not disable the box.
    AbortBox(const LanguageTable& language, QWidget* owner);

    // The Print command: asks "Do You Want To Print Data?", prepares the job, opens the printer
    // dialog, shows the box while the pages are made and tells how the job ended, each through
    // the context's prompt.
    static void PrintRecord(const AppContext& context, QWidget* owner, PrintJob& job,
                            const QString& recordPath, int printSpeedIndex);

    // Produces the job's pages with the box shown and the owner disabled; events are processed
    // before each page, so Cancel works, and Cancel ends the job at the next page.
    PrintOutcome Run(PrintJob& job, QPrinter& printer);

    void SetPage(int page);
    bool Canceled() const { return canceled_; }
    void OnCancel();

    QLabel* text = nullptr;
    QPushButton* cancelButton = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override {}  // Escape does not close it either

private:
    QString Translate(const char* key) const;

    const LanguageTable& language_;
    QWidget* owner_;
    bool canceled_ = false;
};
