#include "dialogs/AppContext.h"

#include <QCoreApplication>
#include <QDir>

#include "dialogs/Prompt.h"

void AppSettings::BuildSettingsPath()
{
    configPath = QDir(QCoreApplication::applicationDirPath()).filePath("Settings.ini");
}

int AppSettings::PortNumber() const
{
    // Leading digits only, as a plain decimal conversion does: "12" is 12, "x3" is 0.
    int n = 0;
    for (QChar c : portText.trimmed()) {
        if (!c.isDigit() || c.unicode() > '9')
            break;
        n = n * 10 + (c.unicode() - '0');
        if (n > 100000)
            break;
    }
    return n;
}

void AppContext::Message(const QString& text) const
{
    prompt.Show(Translate("Corvida"), text, PromptIcon::Exclamation, PromptButtons::Ok);
}
