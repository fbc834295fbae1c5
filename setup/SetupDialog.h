#pragma once
// Serial port and line settings, display and print speeds, and the interface language.
// Port number and language outlive the run in Settings.ini; the rest holds for this run only.
#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

class SetupDialog : public QDialog {
    Q_OBJECT
public:
    // Copies the current values from the main window when there is one.
    explicit SetupDialog(QWidget* parent = nullptr);

    int portNumber = 3;
    int baudRate = 115200;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;
    int speedIndex = 1;
    int printSpeedIndex = 1;

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

private:
    void ApplyDialogCaptions();
    void ShowValues();
    void OnLanguageSelected();

    QLabel* labels_[8] = {};
};
