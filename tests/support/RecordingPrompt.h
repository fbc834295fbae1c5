#pragma once
// A Prompt for tests: stores every text shown and answers questions from a script.
#include <QPrinter>
#include <QString>
#include <QStringList>
#include <deque>

#include "dialogs/Prompt.h"

struct ShownPrompt {
    QString caption;
    QString text;
    PromptIcon icon;
    PromptButtons buttons;
};

class RecordingPrompt : public Prompt {
public:
    PromptAnswer Show(const QString& caption, const QString& text, PromptIcon icon,
                      PromptButtons buttons) override
    {
        shown.push_back({caption, text, icon, buttons});
        if (buttons == PromptButtons::Ok)
            return PromptAnswer::Ok;
        return Next(answers, PromptAnswer::Yes);
    }
    QString ChooseFolder(const QString&) override { return Next(folders, QString()); }
    bool ChoosePrinter(QPrinter& printer) override
    {
        if (pdfPath.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath);
        return true;
    }

    // Texts of every box shown, in order.
    QStringList Texts() const
    {
        QStringList list;
        for (const ShownPrompt& p : shown)
            list << p.text;
        return list;
    }
    QString LastText() const { return shown.empty() ? QString() : shown.back().text; }
    void Clear() { shown.clear(); }

    std::vector<ShownPrompt> shown;
    std::deque<PromptAnswer> answers;   // answers to questions, in order; Yes when empty
    std::deque<QString> folders;        // answers to folder browsers; empty (cancel) when none left
    // Printer set-up for ChoosePrinter: by default PDF output to pdfPath, or cancel when empty.
    QString pdfPath;

private:
    template <class T>
    static T Next(std::deque<T>& script, T otherwise)
    {
        if (script.empty())
            return otherwise;
        T next = script.front();
        script.pop_front();
        return next;
    }
};
