#pragma once
// Placeholder: the setup dialog. On Accepted the chosen values are in the public members.
#include <QDialog>

class SetupDialog : public QDialog {
    Q_OBJECT
public:
    explicit SetupDialog(QWidget* parent = nullptr);
    int portNumber = 3;
    int baudRate = 115200;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;
    int speedIndex = 1;
    int printSpeedIndex = 1;
};
