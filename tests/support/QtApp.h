#pragma once
// GUI tests share one QApplication for the whole test program; call this before making widgets.
#include <QApplication>

inline QApplication& EnsureQtApp()
{
    static int argc = 1;
    static char name[] = "corvida-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}
