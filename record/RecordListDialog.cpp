#include "record/RecordListDialog.h"

RecordListDialog::RecordListDialog(QWidget* parent) : QDialog(parent) {}
