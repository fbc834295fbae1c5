#include "history/HistoryPatientListDialog.h"

HistoryPatientListDialog::HistoryPatientListDialog(QWidget* parent) : QDialog(parent) {}
