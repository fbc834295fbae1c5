#include "db/PatientInfoDialog.h"

PatientInfoDialog::PatientInfoDialog(QWidget* parent) : QDialog(parent) {}
