#include "setup/SetupDialog.h"

SetupDialog::SetupDialog(QWidget* parent) : QDialog(parent) {}
