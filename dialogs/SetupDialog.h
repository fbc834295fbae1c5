#pragma once
// Serial port and line settings, display and print speeds, and the interface language.
// Port number and language outlive the run in Settings.ini; the rest holds for this run only.
#include <QDialog>

#include "dialogs/AppContext.h"
#include "foundation/RunSettings.h"

class QComboBox;
class QLabel;
class QPushButton;

class SetupDialog : public QDialog {
    Q_OBJECT
public:
    // Opens with the run's current values; the port shown is the one saved in the settings.
    explicit SetupDialog(const AppContext& context, const RunSettings& current = RunSettings(),
                         QWidget* parent = nullptr);

    int portNumber = 3;
    int baudRate = 115200;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;
    int speedIndex = 1;
    int printSpeedIndex = 1;
    // The values above, as OK left them.
    RunSettings Values() const;

    // Lists, for tests and for the window's own use.
    QComboBox* portList = nullptr;
    QComboBox* baudList = nullptr;
    QComboBox* parityList = nullptr;
    QComboBox* dataBitList = nullptr;
    QComboBox* stopBitList = nullptr;
    QComboBox* speedList = nullptr;
    QComboBox* printSpeedList = nullptr;
    QComboBox* languageList = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

    // Set by a language selection that differs from the current language; survives the dialog,
    // so a later OK still applies a choice that was followed by Cancel.
    static bool languageChanged;

    void accept() override;

signals:
    // A new language was saved and loaded: the opener sets its captions again.
    void languageApplied();

private:
    QString Translate(const char* key) const { return context_.Translate(key); }
    bool WriteSetting(const char* section, const QString& value);
    void ApplyDialogCaptions();
    void ShowValues();
    void OnLanguageSelected();

    AppContext context_;
    QLabel* labels_[8] = {};
};
