#include <QApplication>
#include <QDir>
#include <QStringList>
#include <cstdio>

#include "app/Application.h"

namespace {

const char* kUsage =
    "usage: corvida [--demo [FILE.cv]]\n"
    "Runs with the working directory holding Corvida.mdb, language/ and Data/.\n"
    "  --demo [FILE.cv]  start playing a record as DEMO does (default: the first record of\n"
    "                    Data/Demo); STOP ends it\n";

}  // namespace

int main(int argc, char** argv)
{
    QApplication qt(argc, argv);
    QString demoPath;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--demo") {
            if (i + 1 < args.size() && !args[i + 1].startsWith("--")) {
                demoPath = args[++i];
            } else {
                const QStringList demos = QDir("Data/Demo").entryList({"*.cv"}, QDir::Files, QDir::Name);
                demoPath = demos.isEmpty() ? QString() : "Data/Demo/" + demos.front();
            }
            if (demoPath.isEmpty()) {
                std::fputs("corvida: no demo record in Data/Demo\n", stderr);
                return 2;
            }
        } else {
            std::fputs(kUsage, args[i] == "--help" ? stdout : stderr);
            return args[i] == "--help" ? 0 : 2;
        }
    }
    Application& app = App();
    if (!app.InitInstance())
        return 1;
    int status = app.Run(demoPath);
    app.ExitInstance();
    return status;
}
