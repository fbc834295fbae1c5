#include "dialogs/Prompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

PromptAnswer QtPrompt::Show(const QString& caption, const QString& text, PromptIcon icon,
                            PromptButtons buttons)
{
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case PromptIcon::None: qicon = QMessageBox::NoIcon; break;
    case PromptIcon::Exclamation: qicon = QMessageBox::Warning; break;
    case PromptIcon::Stop: qicon = QMessageBox::Critical; break;
    case PromptIcon::Question: qicon = QMessageBox::Question; break;
    case PromptIcon::Information: qicon = QMessageBox::Information; break;
    }
    QMessageBox box(qicon, caption, text,
                    buttons == PromptButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                    : QMessageBox::Ok,
                    QApplication::activeWindow());
    int result = box.exec();
    if (buttons == PromptButtons::Ok)
        return PromptAnswer::Ok;
    return result == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
}

QString QtPrompt::ChooseFolder(const QString& title)
{
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), title);
}

bool QtPrompt::ChoosePrinter(QPrinter& printer)
{
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}
