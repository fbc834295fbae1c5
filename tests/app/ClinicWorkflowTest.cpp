// A whole clinic day, headless, with real parts only: the simulator on a pseudo-terminal as the
// recorder, the program folder's own database and language files, real record files. Setup to the
// simulator's port, New Patient, live view, a full record, review, print to PDF, History View with
// query, view, export, delete and import, the imported record's review, both languages, CLOSE.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>

#include "app/Application.h"
#include "foundation/ProfileFile.h"
#include "dialogs/PatientInfoDialog.h"
#include "dialogs/HistoryPatientListDialog.h"
#include "dialogs/RecordListDialog.h"
#include "dialogs/SetupDialog.h"
#include "tests/support/Modal.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/RunProgram.h"
#include "tests/support/Screen.h"
#include "tests/support/Simulator.h"
#include "tests/support/TempDir.h"
#include "ui/MainWindow.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRecordBytes = kPacketsPerRecord * kPacketBytes;  // one complete 48 s record

// Picks a language as the user does: the list reacts to a choice made by hand only.
void ChooseLanguage(SetupDialog& d, const QString& name)
{
    const int index = d.languageList->findText(name);
    ASSERT_GE(index, 0) << name.toStdString();
    d.languageList->setCurrentIndex(index);
    emit d.languageList->activated(index);
}

// The first folder in `folder` (or its first file matching `files`), with its path.
QString FirstFolder(const QString& folder, const QString& files = {})
{
    const QDir dir(folder);
    return folder + "/"
           + (files.isEmpty() ? dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot) : dir.entryList({files})).value(0);
}

// The conclusion as the review shows it: the diagnosis panel's lines under its title.
QStringList Conclusion(MainWindow& window)
{
    return PaintedTexts(window).In(LayoutOf(window).diagnosisRect).mid(1);
}

// What the review on screen shows next to corvida-analyze --json of its file: the global
// measurements and the conclusion lines in display order.
void ExpectReviewMatchesTool(const QString& path, const AnalysisEngine& engine, MainWindow& window)
{
    QString out, err;
    EXPECT_EQ(RunProgram(CORVIDA_APP_DIR "/corvida-analyze",
                         {"--json", "--language-dir", CORVIDA_APP_DIR "/language", path}, &out, &err), 0)
        << err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(out.toUtf8()).object();
    EXPECT_TRUE(json["analysed"].toBool());
    const MeasurementSet& m = engine.Measurements();
    const std::pair<const char*, float> shown[] = {
        {"heart_rate", m.heartRate}, {"p_duration", m.pDuration}, {"pr", m.pr}, {"qrs", m.qrs},
        {"t_duration", m.tDuration}, {"qt", m.qt}, {"qtc", m.qtc}, {"p_axis", m.pAxis},
        {"qrs_axis", m.qrsAxis}, {"t_axis", m.tAxis}};
    for (const auto& [key, value] : shown)
        EXPECT_FLOAT_EQ(float(json["measurements"][key].toDouble()), value) << key;
    const QStringList printed = json["conclusion"].toVariant().toStringList();
    EXPECT_EQ(Conclusion(window).join(" | ").toStdString(), printed.join(" | ").toStdString());
    EXPECT_FALSE(printed.isEmpty());
}

}  // namespace

TEST(ClinicWorkflow, OneRecordFromRecorderToPaperAndThroughHistory)
{
    EnsureQtApp();
    TempDir home(true);
    // The program folder as the build leaves it, without its executables.
    for (const char* item : {"language", "Corvida.mdb", "Data"})
        fs::copy(fs::path(CORVIDA_APP_DIR) / item, home.Path() / item, fs::copy_options::recursive);
    RecordingPrompt prompt;
    const auto said = [&] { return prompt.Texts().join(" | ").toStdString(); };
    Application app;
    app.SetPrompt(&prompt);
    // Settings.ini lives beside the executable: start from the shipped defaults.
    app.settings.BuildSettingsPath();
    QFile::remove(app.settings.configPath);
    ASSERT_TRUE(QFile::copy(CORVIDA_SOURCE_DIR "/app/Settings.ini", app.settings.configPath));
    const QString source = QDir::current().absoluteFilePath("Data/Demo/Bradycardia48.cv");
    const std::string sent = ReadBytes(source.toStdString());
    ASSERT_EQ(sent.size(), kRecordBytes);
    // The recorder: the simulator plays the record without end at the recorder's pace on a
    // pseudo-terminal linked as COM7 in the working folder, from the last lead's turn on.
    constexpr int kLastTurn = kRecordBytes - kPacketsPerLead * kPacketBytes;
    std::ofstream("turned.cv", std::ios::binary) << sent.substr(kLastTurn) << sent.substr(0, kLastTurn);
    Simulator recorder(home.Path(), 7, {"--loop", "--filler-every", "37", "turned.cv"});
    ASSERT_TRUE(QFileInfo::exists("COM7"));

    ASSERT_TRUE(app.InitInstance());
    int32_t patientId = 0;
    // Settings.ini's default language is Chinese.
    EXPECT_EQ(app.settings.languageName.toStdString(), "中文");
    MainWindow window(app.Context());
    window.show();
    // A button by its caption in the language of the moment.
    const auto button = [&](const char* key) -> QPushButton& { return ButtonNamed(window, app.Context().Translate(key)); };

    {
        SCOPED_TRACE("Setup: the simulator's port, English");
        WhenShown<SetupDialog>([](SetupDialog& d) {
            d.portList->setCurrentIndex(6);  // COM7
            ChooseLanguage(d, "English");
            d.okButton->click();
        });
        button("Setup").click();
        EXPECT_EQ(app.settings.portText, "7");
        EXPECT_EQ(app.settings.languageName, "English");
        EXPECT_FALSE(prompt.Texts().contains(app.Context().Translate("Connect Error"))) << said();
        EXPECT_TRUE(button("New Patient").isVisible());
        const std::string ini = app.settings.configPath.toStdString();
        EXPECT_EQ(GetProfileString(ini, "CommNo", "Path"), "7");
        EXPECT_EQ(GetProfileString(ini, "Language", "Path"), "English");
    }

    {
        SCOPED_TRACE("New Patient and live view");
        WhenShown<PatientInfoDialog>([&patientId](PatientInfoDialog& d) {
            d.nameEdit->setText("O'Brien");
            d.ageEdit->setText("61");
            d.clinicalNoEdit->setText("20261207");
            d.okButton->click();
            patientId = d.StoredId();
        });
        button("New Patient").click();
        ASSERT_TRUE(button("Start Record").isEnabled()) << said();
        ASSERT_NE(patientId, 0);
        EXPECT_TRUE(PaintedTexts(window).In(LayoutOf(window).headerRect).join("").contains("O'Brien"));
        // Live packets arrive and are drawn in their lead's panel.
        recorder.Go();
        ASSERT_TRUE(RunUntil([&] { return PanelHasTrace(window, kLeadV6); }, 10000));
    }

    const QString patientFolder = "Data/" + QString::number(patientId);
    QString recordPath;
    qsizetype recordedSize = 0;
    {
        SCOPED_TRACE("Start Record, a full record, Stop, review");
        button("Start Record").click();
        ASSERT_TRUE(button("Stop Record").isVisible()) << said();
        recordPath = FirstFolder(patientFolder, "*.cv");
        ASSERT_TRUE(RunUntil([&] { return QFileInfo(recordPath).size() >= kRecordBytes; }, 240000));
        button("Stop Record").click();
        // The rest since the last write is on the disk and the review starts at once.
        EXPECT_TRUE(button("Print").isEnabled());
        EXPECT_TRUE(button("Start Record").isVisible());
        const std::string recorded = ReadBytes(recordPath.toStdString());
        recordedSize = recorded.size();
        ASSERT_GE(recordedSize, kRecordBytes);
        EXPECT_EQ(recordedSize % 4, 0);
        // Not a byte lost, changed or invented: the file is a stretch of the looped record.
        ASSERT_LE(recordedSize, 3 * kRecordBytes) << "stopped too late for this check";
        const std::string loop = sent + sent + sent + sent;
        const size_t at = loop.find(recorded.substr(0, kRecordBytes));
        ASSERT_NE(at, loop.npos);
        // Started in mid-stream, the record still begins where lead I begins, as the demo
        // record itself does.
        EXPECT_EQ(at % kRecordBytes, 0) << at;
        EXPECT_TRUE(loop.compare(at, recordedSize, recorded) == 0);
        ExpectReviewMatchesTool(recordPath, app.engine, window);
        EXPECT_NEAR(app.engine.Measurements().heartRate, 48, 1);
    }

    {
        SCOPED_TRACE("Print to PDF");
        prompt.Clear();
        prompt.pdfPath = QDir::current().absoluteFilePath("report.pdf");
        button("Print").click();
        ASSERT_TRUE(RunUntil([&] { return window.isEnabled() && QFileInfo(prompt.pdfPath).size(); }, 120000));
        EXPECT_TRUE(prompt.Texts().contains("Do you want to print the report?")) << said();
        // Lead strips, then the summary page; the paper says what the screen says.
        QString printed;
        ASSERT_EQ(RunProgram("pdftotext", {"-layout", prompt.pdfPath, "-"}, &printed), 0);
        EXPECT_GE(printed.count('\f'), 2);
        for (const QString& line : Conclusion(window))
            EXPECT_TRUE(printed.contains(line)) << line.toStdString() << "\n" << printed.toStdString();
        EXPECT_EQ(QFileInfo(recordPath).size(), recordedSize) << "the record changed after the review";
    }

    const QString exportRoot = QDir::current().absoluteFilePath("usb");
    QString importedPath;
    ASSERT_TRUE(QDir().mkpath(exportRoot));
    {
        SCOPED_TRACE("History View: query, view, export, delete, import");
        prompt.Clear();
        prompt.folders = {exportRoot};
        bool exported = false, deleted = false, imported = false;
        QString importedPath;
        WhenShown<HistoryPatientListDialog>([&](HistoryPatientListDialog& d) {
            d.nameFilter->setText("O'Brien");
            d.queryButton->click();
            ASSERT_EQ(d.list->rowCount(), 1) << said();
            d.list->selectRow(0);
            d.exportButton->click();
            exported = QDir(FirstFolder(exportRoot)).entryList({"*.cv"}).size() == 1;

            d.list->clearSelection();
            d.list->selectRow(0);
            prompt.answers = {PromptAnswer::Yes};
            d.deleteButton->click();
            deleted = d.list->rowCount() == 0 && QDir(patientFolder).entryList({"*.cv"}).isEmpty();

            prompt.folders = {FirstFolder(exportRoot)};
            d.importButton->click();
            d.nameFilter->clear();
            d.queryButton->click();
            const auto found = d.list->findItems("O'Brien", Qt::MatchExactly);
            imported = !found.isEmpty();
            if (!imported)
                return d.reject();
            d.list->clearSelection();
            d.list->selectRow(found[0]->row());
            WhenShown<RecordListDialog>([&importedPath](RecordListDialog& records) {
                records.list->selectRow(0);
                records.okButton->click();
                importedPath = records.recordPath.value_or(QString());
            });
            d.viewButton->click();
        });
        button("History View").click();
        EXPECT_EQ(std::tuple(exported, deleted, imported), std::tuple(true, true, true)) << said();
        EXPECT_TRUE(prompt.Texts().contains("Exported")) << said();
        EXPECT_TRUE(prompt.Texts().contains("Delete the selected patients?"));

        SCOPED_TRACE("Review of the imported record");
        ASSERT_TRUE(button("Print").isEnabled());
        EXPECT_NE(QFileInfo(importedPath).absolutePath(), QFileInfo(patientFolder).absoluteFilePath());
        const QString copy = FirstFolder(exportRoot) + "/" + QFileInfo(recordPath).fileName();
        EXPECT_TRUE(ReadBytes(importedPath.toStdString()) == ReadBytes(copy.toStdString()));
        ExpectReviewMatchesTool(importedPath, app.engine, window);
    }

    {
        SCOPED_TRACE("Language: 中文 and back");
        for (const auto& [language, caption] : {std::pair("中文", "新病人"), std::pair("English", "New Patient")}) {
            WhenShown<SetupDialog>([language](SetupDialog& d) {
                ChooseLanguage(d, language);
                d.okButton->click();
            });
            button("Setup").click();
            EXPECT_EQ(app.settings.languageName, language);
            EXPECT_TRUE(ButtonNamed(window, caption).isVisible());
        }
    }

    button("CLOSE").click();
    EXPECT_FALSE(window.isVisible());
    app.ExitInstance();
}
