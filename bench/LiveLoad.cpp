// corvida-live-load: the main window recording from the recorder on COM3 of a folder, headless,
// with the CPU share of the whole program (every thread) and its resident memory printed every
// ten seconds (from /proc/self). Run by bench/live_load.sh, which starts the simulator; not a test.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

#include "db/AppDatabase.h"
#include "dialogs/AppContext.h"
#include "dialogs/PatientInfoDialog.h"
#include "dialogs/Prompt.h"
#include "ui/MainWindow.h"

namespace {

class PrintingPrompt : public Prompt {
public:
    PromptAnswer Show(const QString& caption, const QString& text, PromptIcon, PromptButtons) override
    {
        std::fprintf(stderr, "[%s] %s\n", qPrintable(caption), qPrintable(text));
        return PromptAnswer::Ok;
    }
    QString ChooseFolder(const QString&) override { return {}; }
    bool ChoosePrinter(QPrinter&) override { return false; }
};

// User plus system CPU time of this process, in seconds.
double CpuSeconds()
{
    std::ifstream in("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    // Fields after the command name in parentheses: state is field 3, utime 14, stime 15.
    const std::size_t close = text.rfind(')');
    unsigned long long utime = 0, stime = 0;
    std::sscanf(text.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu",
                &utime, &stime);
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

double ResidentMegabytes()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: corvida-live-load FOLDER SECONDS  (FOLDER holds COM3)\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" CORVIDA_SOURCE_DIR
                               "/tests/ui/screen-1920x1080.json");
    QApplication app(argc, argv);
    QDir::setCurrent(QString::fromLocal8Bit(argv[1]));
    const int seconds = std::atoi(argv[2]);
    if (!QFile::copy(CORVIDA_APP_DIR "/Corvida.mdb", "Corvida.mdb")
        || !AppDatabase::Instance().Open("Corvida.mdb")) {
        std::fprintf(stderr, "no database in %s\n", argv[1]);
        return 1;
    }
    PrintingPrompt prompt;
    AppSettings settings;
    settings.languageName = "English";
    settings.portText = "3";
    LanguageTable language;
    language.SetDirectory(CORVIDA_SOURCE_DIR "/language");
    language.Scan();
    const auto engine = std::make_unique<AnalysisEngine>();

    MainWindow window(AppContext{settings, language, prompt, *engine});
    window.show();
    // New Patient as the user makes one, then Start Record.
    QTimer fill;
    int32_t patient = 0;
    QObject::connect(&fill, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<PatientInfoDialog*>(QApplication::activeModalWidget())) {
            fill.stop();
            for (QLineEdit* box : {d->nameEdit, d->clinicalNoEdit, d->ageEdit, d->heightEdit, d->weightEdit})
                box->setText("50");
            d->okButton->click();
            patient = d->StoredId();
        }
    });
    fill.start(10);
    window.Buttons().newPatient->click();
    if (patient == 0) {
        std::fprintf(stderr, "no patient: COM3 cannot be opened in %s\n", argv[1]);
        AppDatabase::Instance().Close();
        return 1;
    }
    window.Buttons().record->click();
    const QString folder = QString("Data/%1").arg(patient);
    // Packets stored so far: the record grows once a second.
    const auto stored = [&folder] {
        const QStringList records = QDir(folder).entryList({"*.cv"});
        return uint32_t(records.isEmpty() ? 0 : QFileInfo(folder + "/" + records[0]).size() / 4);
    };

    QElapsedTimer clock;
    clock.start();
    double lastCpu = CpuSeconds();
    qint64 lastMs = 0;
    uint32_t lastPackets = 0;
    double firstRss = 0, maxRss = 0;
    std::printf("%8s %10s %10s %8s %8s\n", "time_s", "recorded", "pkt_per_s", "cpu_%", "rss_MB");
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        const qint64 ms = clock.elapsed();
        const double cpu = CpuSeconds();
        const uint32_t packets = stored();
        const double rss = ResidentMegabytes();
        if (firstRss == 0)
            firstRss = rss;
        maxRss = std::max(maxRss, rss);
        std::printf("%8.1f %10u %10.0f %8.2f %8.1f\n", ms / 1000.0, packets,
                    (packets - lastPackets) * 1000.0 / double(ms - lastMs),
                    100.0 * (cpu - lastCpu) * 1000.0 / double(ms - lastMs), rss);
        std::fflush(stdout);
        lastCpu = cpu;
        lastMs = ms;
        lastPackets = packets;
        if (ms >= seconds * 1000LL)
            QCoreApplication::exit(0);  // quit() would ask the recording window to close
    });
    const double startCpu = CpuSeconds();
    report.start(10000);
    app.exec();
    const double cpuShare = 100.0 * (CpuSeconds() - startCpu) / (clock.elapsed() / 1000.0);
    window.Buttons().record->click();  // Stop Record: the rest is written and reviewed
    std::printf("summary: %u packets recorded in %.1f s, cpu %.2f %% of one core, rss first %.1f MB, "
                "max %.1f MB, record in %s\n",
                stored(), clock.elapsed() / 1000.0, cpuShare, firstRss, maxRss, qPrintable(folder));
    // The connection goes before the application object does.
    AppDatabase::Instance().Close();
    return 0;
}
