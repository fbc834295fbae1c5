#pragma once
// A Prompt for tests: stores every text shown and answers questions from a script.
#include <QPrinter>
#include <QString>
#include <QStringList>
#include <deque>

#include "app/Prompt.h"

struct ShownPrompt {
    QString caption;
    QString text;
    PromptIcon icon;
    PromptButtons buttons;
};

class RecordingPrompt : public Prompt {
public:
    PromptAnswer Show(const QString& caption, const QString& text, PromptIcon icon,
                      PromptButtons buttons) override;
    QString ChooseFolder(const QString& title) override;
    bool ChoosePrinter(QPrinter& printer) override;

    // Texts of every box shown, in order.
    QStringList Texts() const;
    QString LastText() const { return shown.empty() ? QString() : shown.back().text; }
    void Clear() { shown.clear(); }

    std::vector<ShownPrompt> shown;
    std::deque<PromptAnswer> answers;   // answers to questions, in order; Yes when empty
    std::deque<QString> folders;        // answers to folder browsers; empty (cancel) when none left
    // Printer set-up for ChoosePrinter: by default PDF output to pdfPath, or cancel when empty.
    QString pdfPath;
};
