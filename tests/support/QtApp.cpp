#include "tests/support/QtApp.h"

#include <QApplication>

QApplication& EnsureQtApp()
{
    static int argc = 1;
    static char name[] = "corvida-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}
