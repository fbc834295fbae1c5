#include <QApplication>
#include <QSessionManager>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/Application.h"
#include "app/TerminationSignals.h"
#include "record/RecordFile.h"
#include "ui/MainWindow.h"

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
                std::vector<std::string> demos = ListRecords("Data/Demo", true).records;
                std::sort(demos.begin(), demos.end());
                demoPath = demos.empty() ? QString() : "Data/Demo/" + QString::fromStdString(demos.front());
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
    // The engine's fixed arrays are kept off the stack.
    auto app = std::make_unique<Application>();
    if (!app->InitInstance())
        return 1;
    int status = 0;
    {
        // The window's modal loop is the program's main loop; with a demo path the window
        // starts playing that record as DEMO would.
        MainWindow window(app->Context());
        window.showFullScreen();
        // Ended from outside (kill, Ctrl+C, the terminal or the desktop session closing): a
        // recording is written, closed and kept as Stop Record would, then the program ends.
        TerminationSignals ending;
        QObject::connect(&ending, &TerminationSignals::received, &window, [](int number) {
            QCoreApplication::exit(128 + number);
        });
        QObject::connect(&qt, &QCoreApplication::aboutToQuit, &window, &MainWindow::EndRecording);
        QObject::connect(&qt, &QGuiApplication::commitDataRequest, &window,
                         [&window](QSessionManager&) { window.EndRecording(); },
                         Qt::DirectConnection);
        if (!demoPath.isEmpty())
            QTimer::singleShot(0, &window, [&window, demoPath] { window.PlayDemo(demoPath); });
        status = QCoreApplication::exec();
    }
    app->ExitInstance();
    return status;
}
