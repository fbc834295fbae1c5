#include "ui/MainWindow.h"

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {}
