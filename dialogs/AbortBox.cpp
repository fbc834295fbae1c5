#include "dialogs/AbortBox.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>

#include "dialogs/AppContext.h"
#include "dialogs/Prompt.h"

namespace {

void Tell(const AppContext& context, PrintOutcome outcome)
{
    const PrintMessageKeys keys = PrintMessageFor(outcome);
    if (keys.text)
        context.prompt.Show(context.Translate(keys.caption), context.Translate(keys.text),
                            PromptIcon::Exclamation, PromptButtons::Ok);
}

}  // namespace

AbortBox::AbortBox(const LanguageTable& language, QWidget* owner)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      language_(language), owner_(owner)
{
    setWindowTitle(Translate("Corvida Printing ..."));
    setWindowModality(Qt::ApplicationModal);
    text = new QLabel(this);
    text->setAlignment(Qt::AlignCenter);
    cancelButton = new QPushButton(Translate("Cancel"), this);
    connect(cancelButton, &QPushButton::clicked, this, &AbortBox::OnCancel);

    // A quarter of the desktop's width and a fifth of its height, centred on it.
    const QRect desk = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry()
                                                        : QRect(0, 0, 800, 600);
    const int w = desk.width() / 4, h = desk.height() / 5;
    setFixedSize(w, h);
    move(desk.left() + (desk.width() - w) / 2, desk.top() + (desk.height() - h) / 2);
    text->setGeometry(h / 5, 20, w - 20 - h / 5, h / 5);
    cancelButton->setGeometry(w / 2 - 50, h / 2 - 15, 100, 30);
}

QString AbortBox::Translate(const char* key) const
{
    return ::Translate(language_, key);
}

void AbortBox::PrintRecord(const AppContext& context, QWidget* owner, PrintJob& job,
                           const QString& recordPath, int printSpeedIndex)
{
    if (context.prompt.Show(context.Translate("Corvida"),
                            context.Translate("Do You Want To Print Data?"), PromptIcon::Question,
                            PromptButtons::YesNo) != PromptAnswer::Yes)
        return;
    QPrinter printer(QPrinter::HighResolution);
    PrintJob::SetUpPrinter(printer);
    PrintOutcome outcome = job.Prepare(recordPath, printSpeedIndex);
    if (outcome == PrintOutcome::Ready) {
        if (!context.prompt.ChoosePrinter(printer))
            return;  // the printer dialog was cancelled: nothing to say
        outcome = job.LayOut(printer);
        if (outcome == PrintOutcome::PaperTooSmall) {
            Tell(context, outcome);  // the summary page still prints
            outcome = PrintOutcome::Ready;
        }
        if (outcome == PrintOutcome::Ready)
            outcome = AbortBox(context.language, owner).Run(job, printer);
    }
    Tell(context, outcome);
}

PrintOutcome AbortBox::Run(PrintJob& job, QPrinter& printer)
{
    if (owner_)
        owner_->setEnabled(false);
    show();
    QCoreApplication::processEvents();
    const PrintOutcome outcome = job.Print(printer, [this](int page, bool summary) {
        if (!summary)
            SetPage(page);
        QCoreApplication::processEvents();
        return !canceled_;
    });
    // After a Cancel the owner is back already.
    if (!canceled_) {
        if (owner_)
            owner_->setEnabled(true);
        hide();
    }
    return outcome;
}

void AbortBox::SetPage(int page)
{
    text->setText(Translate("Printing page") + "  " + QString::number(page) + ".");
    cancelButton->setText(Translate("Cancel"));
}

void AbortBox::OnCancel()
{
    if (canceled_)
        return;
    canceled_ = true;
    if (owner_)
        owner_->setEnabled(true);
    hide();
}

void AbortBox::closeEvent(QCloseEvent* event)
{
    event->ignore();
}
