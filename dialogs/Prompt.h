#pragma once
// Every message box, yes/no question, folder browser and printer dialog of the program goes through
// this one interface, so the program can run headless under test with scripted answers.
#include <QString>

class QPrinter;
class QWidget;

enum class PromptIcon { None, Exclamation, Stop, Question, Information };
enum class PromptButtons { Ok, YesNo };
enum class PromptAnswer { Ok, Yes, No };

class Prompt {
public:
    virtual ~Prompt() = default;
    // A message box or question: caption, text, icon, buttons -> the button pressed.
    virtual PromptAnswer Show(const QString& caption, const QString& text, PromptIcon icon,
                              PromptButtons buttons) = 0;
    // A folder browser; an empty result means the user cancelled.
    virtual QString ChooseFolder(const QString& title) = 0;
    // The printer dialog; false means the user cancelled. The printer is set up on true.
    virtual bool ChoosePrinter(QPrinter& printer) = 0;
};

// The real dialogs, parented to the active window.
class QtPrompt : public Prompt {
public:
    PromptAnswer Show(const QString& caption, const QString& text, PromptIcon icon,
                      PromptButtons buttons) override;
    QString ChooseFolder(const QString& title) override;
    bool ChoosePrinter(QPrinter& printer) override;
};
