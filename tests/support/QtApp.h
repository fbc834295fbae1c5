#pragma once
// GUI tests share one QApplication for the whole test program; call this before making widgets.
class QApplication;
QApplication& EnsureQtApp();
