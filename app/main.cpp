#include <QApplication>

#include "app/Application.h"

int main(int argc, char** argv)
{
    QApplication qt(argc, argv);
    Application& app = App();
    if (!app.InitInstance())
        return 1;
    int status = app.Run();
    app.ExitInstance();
    return status;
}
