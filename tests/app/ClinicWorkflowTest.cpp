// A whole clinic day, headless, with real parts only: the simulator on a pseudo-terminal as the
// recorder, the program folder's own database and language files, real record files. Setup to the
// simulator's port, New Patient, live view, a full record, review, print to PDF, History View with
// query, view, export, delete and import, the imported record's review, both languages, CLOSE.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "app/Application.h"
#include "app/ProfileFile.h"
#include "db/PatientInfoDialog.h"
#include "history/HistoryPatientListDialog.h"
#include "record/RecordListDialog.h"
#include "setup/SetupDialog.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/Simulator.h"
#include "tests/support/TempDir.h"
#include "ui/MainWindow.h"

namespace fs = std::filesystem;

// Readable failures for Qt texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

constexpr int kRecordBytes = 38400 * 4;  // one complete 48 s record

// Runs `act` on the next modal dialog of type T as soon as it is shown, while the caller is
// blocked in its exec().
template <class T>
void WhenShown(std::function<void(T&)> act)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(*dialog);
        }
    });
    poll->start(10);
}

// Saves a picture of a window to $CORVIDA_SCREENSHOT_DIR when that is set.
void Screenshot(QWidget& widget, const QString& name)
{
    const QString dir = qEnvironmentVariable("CORVIDA_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        widget.grab().save(dir + "/workflow-" + name + ".png");
}

void Click(QPushButton* button)
{
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

// Picks a language as the user does: the list reacts to a choice made by hand only.
void ChooseLanguage(SetupDialog& d, const QString& name)
{
    const int index = d.languageList->findText(name);
    ASSERT_GE(index, 0) << name.toStdString();
    d.languageList->setCurrentIndex(index);
    emit d.languageList->activated(index);
}

// Selects list row `row` of the history list (one click, as the user would).
void SelectRow(QTableWidget* list, int row)
{
    list->clearSelection();
    list->selectRow(row);
}

int FindRow(QTableWidget* list, int column, const QString& text)
{
    for (int r = 0; r < list->rowCount(); ++r)
        if (list->item(r, column) && list->item(r, column)->text() == text)
            return r;
    return -1;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList RecordFiles(const QString& folder)
{
    return QDir(folder).entryList({"*.cv"}, QDir::Files, QDir::Name);
}

// corvida-analyze --json of one file.
QJsonObject Analyze(const QString& path)
{
    QProcess tool;
    tool.start(CORVIDA_APP_DIR "/corvida-analyze",
               {"--json", "--language-dir", CORVIDA_APP_DIR "/language", path});
    EXPECT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().constData();
    return QJsonDocument::fromJson(tool.readAllStandardOutput().trimmed()).object();
}

// What the review on screen shows next to the tool's JSON: the global measurements and the
// conclusion lines in display order.
void ExpectReviewMatches(const QJsonObject& json, const AnalysisEngine& engine,
                         const RunState& state)
{
    const MeasurementSet& m = engine.Measurements();
    const QJsonObject jm = json["measurements"].toObject();
    EXPECT_TRUE(json["analysed"].toBool());
    EXPECT_EQ(jm["heart_rate"].toInt(), m.heartRate);
    EXPECT_EQ(jm["p_duration"].toInt(), m.pDuration);
    EXPECT_EQ(jm["pr"].toInt(), m.pr);
    EXPECT_EQ(jm["qrs"].toInt(), m.qrs);
    EXPECT_EQ(jm["t_duration"].toInt(), m.tDuration);
    EXPECT_EQ(jm["qt"].toInt(), m.qt);
    EXPECT_EQ(jm["qtc"].toInt(), m.qtc);
    EXPECT_FLOAT_EQ(float(jm["p_axis"].toDouble()), m.pAxis);
    EXPECT_FLOAT_EQ(float(jm["qrs_axis"].toDouble()), m.qrsAxis);
    EXPECT_FLOAT_EQ(float(jm["t_axis"].toDouble()), m.tAxis);
    QStringList shown;
    // Shown top to bottom from line 9 down to the first used line.
    for (int i = 9; i >= state.firstLine; --i)
        shown << QString::fromStdString(state.conclusion.line[i]);
    QStringList printed;
    for (const QJsonValue& line : json["conclusion"].toArray())
        printed << line.toString();
    EXPECT_EQ(shown.join(" | ").toStdString(), printed.join(" | ").toStdString());
    EXPECT_FALSE(shown.isEmpty());
}

class ClinicWorkflow : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureQtApp();
        // The program folder as the build leaves it, without its executables.
        for (const char* item : {"language", "Corvida.mdb", "Data"})
            fs::copy(fs::path(CORVIDA_APP_DIR) / item, home.Path() / item,
                     fs::copy_options::recursive);
        // Settings.ini lives beside the executable: start from the shipped defaults.
        app.settings.BuildSettingsPath();
        QFile::remove(app.settings.configPath);
        ASSERT_TRUE(QFile::copy(CORVIDA_SOURCE_DIR "/app/Settings.ini", app.settings.configPath));
        app.SetPrompt(&prompt);
    }
    void TearDown() override { recorder.reset(); }

    // The recorder: the simulator plays `record` without end, as fast as the line is read, on a
    // pseudo-terminal linked as COM7 in the working folder.
    void StartRecorder(const QString& record)
    {
        recorder = std::make_unique<Simulator>(home.Path(), 7,
                                               QStringList{"--speed", "0", "--loop", "--filler-every",
                                                           "37", record},
                                               false);
        ASSERT_TRUE(QFileInfo::exists("COM7"));
    }

    TempDir home{true};
    RecordingPrompt prompt;
    Application app;
    std::unique_ptr<Simulator> recorder;
};

}  // namespace

TEST_F(ClinicWorkflow, OneRecordFromRecorderToPaperAndThroughHistory)
{
    const QString source = QDir::current().absoluteFilePath("Data/Demo/Bradycardia48.cv");
    const QByteArray sent = ReadAll(source);
    ASSERT_EQ(sent.size(), kRecordBytes);
    StartRecorder(source);

    ASSERT_TRUE(app.InitInstance());
    // Settings.ini's default language is Chinese.
    EXPECT_EQ(app.settings.languageName, QString("中文"));
    MainWindow window(app.Context());
    window.show();

    {
        SCOPED_TRACE("Setup: the simulator's port, English");
        WhenShown<SetupDialog>([](SetupDialog& d) {
            d.portList->setCurrentIndex(6);  // COM7
            ChooseLanguage(d, "English");
            Screenshot(d, "setup");
            Click(d.okButton);
        });
        window.OnSetup();
        EXPECT_EQ(app.settings.portText, "7");
        EXPECT_EQ(app.settings.languageName, "English");
        EXPECT_TRUE(window.GetSession().PortOpen()) << prompt.Texts().join(" | ").toStdString();
        EXPECT_EQ(window.Buttons().newPatient->text(), "New Patient");
        const std::string ini = app.settings.configPath.toStdString();
        EXPECT_EQ(GetProfileString(ini, "CommNo", "Path"), "7");
        EXPECT_EQ(GetProfileString(ini, "Language", "Path"), "English");
    }

    {
        SCOPED_TRACE("New Patient and live view");
        WhenShown<PatientInfoDialog>([](PatientInfoDialog& d) {
            d.nameEdit->setText("O'Brien");
            d.ageEdit->setText("61");
            d.clinicalNoEdit->setText("20261207");
            Click(d.okButton);
        });
        window.OnNewPatient();
        ASSERT_TRUE(window.GetSession().PatientReady()) << prompt.Texts().join(" | ").toStdString();
        ASSERT_FALSE(window.State().currentPatientId.isEmpty());
        EXPECT_TRUE(window.HeaderLine1().contains("O'Brien"));
        // Live packets arrive and the twelve leads are drawn in turn.
        ASSERT_TRUE(RunUntil([&] { return window.Decoder().DisplayCounter() > 8000; }, 60000));
        Screenshot(window, "live");
    }

    const QString patientId = window.State().currentPatientId;
    const QString patientFolder = "Data/" + patientId;
    QString recordPath;
    qsizetype recordedSize = 0;
    {
        SCOPED_TRACE("Start Record, a full record, Stop, review");
        window.OnRecord();
        ASSERT_TRUE(window.GetSession().Recording());
        recordPath = window.State().currentRecordPath;
        ASSERT_TRUE(RunUntil([&] { return QFileInfo(recordPath).size() >= kRecordBytes; }, 240000));
        window.OnRecord();
        EXPECT_FALSE(window.GetSession().Recording());
        // The rest since the last block is written and the review starts at once.
        ASSERT_TRUE(RunUntil([&] { return window.GetSession().Review(); }, 10000));
        const QByteArray recorded = ReadAll(recordPath);
        ASSERT_GE(recorded.size(), kRecordBytes);
        EXPECT_EQ(recorded.size() % 4, 0);
        // Not a byte lost, changed or invented: the file is a stretch of the looped record.
        const QByteArray loop = sent + sent + sent + sent;
        ASSERT_LE(recorded.size(), 3 * kRecordBytes) << "stopped too late for this check";
        const qsizetype at = loop.indexOf(recorded.left(kRecordBytes));
        ASSERT_GE(at, 0);
        // Started in mid-stream, the record still begins where lead I begins, as the demo
        // record itself does.
        EXPECT_EQ(at % kRecordBytes, 0) << at;
        EXPECT_EQ(loop.mid(at, recorded.size()), recorded);

        recordedSize = recorded.size();
        ExpectReviewMatches(Analyze(recordPath), app.engine, window.State());
        EXPECT_NEAR(app.engine.Measurements().heartRate, 48, 1);
        Screenshot(window, "review");
    }

    {
        SCOPED_TRACE("Print to PDF");
        prompt.Clear();
        prompt.pdfPath = QDir::current().absoluteFilePath("report.pdf");
        window.OnPrint();
        ASSERT_TRUE(RunUntil([&] { return window.isEnabled() && QFileInfo(prompt.pdfPath).size() > 0; },
                              120000));
        EXPECT_TRUE(prompt.Texts().contains("Do You Want To Print Data?")) << prompt.Texts().join(" | ").toStdString();
        QProcess info;
        info.start("pdfinfo", {prompt.pdfPath});
        ASSERT_TRUE(info.waitForFinished());
        const QByteArray pdf = info.readAllStandardOutput();
        // Lead strips, then the summary page.
        const int pages = QString(pdf).section("Pages:", 1).trimmed().section('\n', 0, 0).toInt();
        EXPECT_GE(pages, 2) << pdf.constData();
        // The paper says what the screen says.
        QProcess text;
        text.start("pdftotext", {"-layout", prompt.pdfPath, "-"});
        ASSERT_TRUE(text.waitForFinished());
        const QString printed = QString::fromUtf8(text.readAllStandardOutput());
        for (int i = 9; i >= window.State().firstLine; --i)
            EXPECT_TRUE(printed.contains(QString::fromStdString(window.State().conclusion.line[i])))
                << window.State().conclusion.line[i] << "\n" << printed.toStdString();
        EXPECT_EQ(ReadAll(recordPath).size(), recordedSize) << "the record changed after the review";
        if (const char* dir = getenv("CORVIDA_SCREENSHOT_DIR")) {
            QFile::remove(QString(dir) + "/workflow-report.pdf");
            QFile::copy(prompt.pdfPath, QString(dir) + "/workflow-report.pdf");
        }
    }

    const QString exportRoot = QDir::current().absoluteFilePath("usb");
    ASSERT_TRUE(QDir().mkpath(exportRoot));
    {
        SCOPED_TRACE("History View: query, view, export, delete, import");
        prompt.Clear();
        prompt.folders = {exportRoot};
        bool exported = false, deleted = false, imported = false;
        WhenShown<HistoryPatientListDialog>([&](HistoryPatientListDialog& d) {
            d.nameFilter->setText("O'Brien");
            Click(d.queryButton);
            ASSERT_EQ(d.list->rowCount(), 1) << prompt.Texts().join(" | ").toStdString();
            SelectRow(d.list, 0);
            Click(d.exportButton);
            exported = RecordFiles(exportRoot + "/" + QDir(exportRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot).value(0)).size() == 1;

            SelectRow(d.list, 0);
            prompt.answers = {PromptAnswer::Yes};
            Click(d.deleteButton);
            deleted = d.list->rowCount() == 0 && RecordFiles(patientFolder).isEmpty();

            const QString exportFolder =
                exportRoot + "/" + QDir(exportRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot).value(0);
            prompt.folders = {exportFolder};
            Click(d.importButton);
            d.nameFilter->clear();
            Click(d.queryButton);
            const int row = FindRow(d.list, HistoryPatientListDialog::kNameColumn, "O'Brien");
            imported = row >= 0;
            Screenshot(d, "history");
            if (!imported)
                return d.reject();
            SelectRow(d.list, row);
            WhenShown<RecordListDialog>([](RecordListDialog& records) {
                records.list->selectRow(0);
                Click(records.okButton);
            });
            Click(d.viewButton);
        });
        window.OnHistoryView();
        EXPECT_TRUE(exported) << prompt.Texts().join(" | ").toStdString();
        EXPECT_TRUE(deleted) << prompt.Texts().join(" | ").toStdString();
        EXPECT_TRUE(imported) << prompt.Texts().join(" | ").toStdString();
        EXPECT_TRUE(prompt.Texts().contains("Exported")) << prompt.Texts().join(" | ").toStdString();
        EXPECT_TRUE(prompt.Texts().contains("Delete Selected Rows, Are you sure ?"));
    }

    {
        SCOPED_TRACE("Review of the imported record");
        ASSERT_TRUE(RunUntil([&] { return window.GetSession().Review(); }, 10000));
        const QString importedPath = window.State().lastSavedRecordPath;
        EXPECT_NE(QFileInfo(importedPath).absolutePath(), QFileInfo(patientFolder).absoluteFilePath());
        EXPECT_EQ(ReadAll(importedPath), ReadAll(exportRoot + "/" +
                                                 QDir(exportRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot).value(0) +
                                                 "/" + QFileInfo(recordPath).fileName()));
        ExpectReviewMatches(Analyze(importedPath), app.engine, window.State());
    }

    {
        SCOPED_TRACE("Language: 中文 and back");
        for (const char* language : {"中文", "English"}) {
            WhenShown<SetupDialog>([language](SetupDialog& d) {
                ChooseLanguage(d, QString::fromUtf8(language));
                Click(d.okButton);
            });
            window.OnSetup();
            EXPECT_EQ(app.settings.languageName, QString::fromUtf8(language));
            EXPECT_EQ(window.Buttons().newPatient->text(), app.Context().Translate("New Patient"));
            Screenshot(window, QString::fromUtf8(language));
        }
        EXPECT_EQ(window.Buttons().newPatient->text(), "New Patient");
    }

    window.OnClose();
    EXPECT_FALSE(window.GetSession().PortOpen());
    app.ExitInstance();
}
