#include "tests/support/RecordingPrompt.h"

PromptAnswer RecordingPrompt::Show(const QString& caption, const QString& text, PromptIcon icon,
                                   PromptButtons buttons)
{
    shown.push_back({caption, text, icon, buttons});
    if (buttons == PromptButtons::Ok)
        return PromptAnswer::Ok;
    if (answers.empty())
        return PromptAnswer::Yes;
    PromptAnswer a = answers.front();
    answers.pop_front();
    return a;
}

QString RecordingPrompt::ChooseFolder(const QString&)
{
    if (folders.empty())
        return {};
    QString f = folders.front();
    folders.pop_front();
    return f;
}

bool RecordingPrompt::ChoosePrinter(QPrinter& printer)
{
    if (pdfPath.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfPath);
    return true;
}

QStringList RecordingPrompt::Texts() const
{
    QStringList list;
    for (const ShownPrompt& p : shown)
        list << p.text;
    return list;
}
