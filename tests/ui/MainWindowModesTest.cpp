// The main window's commands refuse with their messages in each mode, and captions follow the
// language.
#include <gtest/gtest.h>

#include <QPushButton>

#include "app/Application.h"
#include "tests/support/QtApp.h"
#include "tests/support/RecordingPrompt.h"
#include "ui/MainWindow.h"

namespace {

class MainWindowModes : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureQtApp();
        App().state = RunState();
        App().settings.languageName = "English";
        App().settings.portText = "3";
        App().language.SetDirectory(CORVIDA_SOURCE_DIR "/language");
        App().language.Scan();
        App().SetPrompt(&prompt);
        window = std::make_unique<MainWindow>();
    }
    void TearDown() override
    {
        window.reset();
        App().SetPrompt(nullptr);
    }
    RecordingPrompt prompt;
    std::unique_ptr<MainWindow> window;
};

}  // namespace

TEST_F(MainWindowModes, CommandsRefuseWithTheirMessageInEachMode)
{
    using Handler = void (MainWindow::*)();
    struct Case {
        const char* name;
        bool recording;
        bool demo;
        bool portOpen;
        bool patientReady;
        Handler handler;
        const char* message;  // expected text, empty when nothing is shown
    };
    const Case cases[] = {
        {"new patient in demo", false, true, true, false, &MainWindow::OnNewPatient, "Please stop the Demo first"},
        {"new patient recording", true, false, true, true, &MainWindow::OnNewPatient, "Please stop the recording"},
        {"record in demo", false, true, true, true, &MainWindow::OnRecord, "Please stop the Demo first"},
        {"record, port closed", false, false, false, true, &MainWindow::OnRecord, "Please Check the port setting!"},
        {"record, no patient", false, false, true, false, &MainWindow::OnRecord, "Please build a new patient"},
        {"real-time in demo", false, true, true, false, &MainWindow::OnRealTimeView, "Please stop the Demo first"},
        {"history recording", true, false, true, true, &MainWindow::OnHistoryView, "Please stop the recording"},
        {"history in demo", false, true, true, false, &MainWindow::OnHistoryView, "Please stop the Demo first"},
        {"setup recording", true, false, true, true, &MainWindow::OnSetup, "Please stop the recording"},
        {"setup in demo", false, true, true, false, &MainWindow::OnSetup, "Please stop the Demo first"},
        {"print in demo", false, true, true, false, &MainWindow::OnPrint, "Please stop the Demo first"},
        {"demo recording", true, false, true, true, &MainWindow::OnDemo, "Please stop the recording"},
        {"close recording", true, false, true, true, &MainWindow::OnClose, "Please stop the recording"},
        {"close in demo", false, true, true, false, &MainWindow::OnClose, "Please stop the Demo first"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompt.Clear();
        App().state.recording = c.recording;
        App().state.portOpen = c.portOpen;
        window->demoActive = c.demo;
        window->patientReady = c.patientReady;
        (window.get()->*c.handler)();
        ASSERT_EQ(prompt.shown.size(), 1u);
        EXPECT_EQ(prompt.shown[0].text, QString(c.message));
        // Refusals leave every flag as it was.
        EXPECT_EQ(App().state.recording, c.recording);
        EXPECT_EQ(window->demoActive, c.demo);
        EXPECT_EQ(window->patientReady, c.patientReady);
        EXPECT_EQ(App().state.portOpen, c.portOpen);
    }
}

TEST_F(MainWindowModes, RefusalsUseTheirCaptionAndIcon)
{
    App().state.recording = true;
    window->OnSetup();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].caption, "Corvida");
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Exclamation);

    prompt.Clear();
    App().state.recording = false;
    App().state.portOpen = false;
    window->patientReady = true;
    window->OnRecord();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::None);
}

TEST_F(MainWindowModes, StartRecordNeedsANewPatientEvenWithThePortOpen)
{
    App().state.portOpen = true;
    window->patientReady = false;
    window->OnRecord();
    EXPECT_EQ(prompt.LastText(), "Please build a new patient");
    EXPECT_FALSE(App().state.recording);
}

TEST_F(MainWindowModes, SecondStepsStopAtTheEnds)
{
    window->pageCount = 48;
    window->currentSecond = 1;
    window->prevButton->setEnabled(true);
    window->OnPrevSecond();
    EXPECT_EQ(window->currentSecond, 1);
    EXPECT_FALSE(window->prevButton->isEnabled());

    window->currentSecond = 48;
    window->nextButton->setEnabled(true);
    window->OnNextSecond();
    EXPECT_EQ(window->currentSecond, 48);
    EXPECT_FALSE(window->nextButton->isEnabled());

    window->currentSecond = 47;
    window->OnNextSecond();
    EXPECT_EQ(window->currentSecond, 48);
}

TEST_F(MainWindowModes, CaptionsFollowTheLanguage)
{
    EXPECT_EQ(window->closeButton->text(), "CLOSE");
    EXPECT_EQ(window->newPatientButton->text(), "New Patient");
    EXPECT_EQ(window->demoButton->text(), "DEMO");

    const QString shots = qEnvironmentVariable("CORVIDA_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        window->grab().save(shots + "/main-window-en.png");
    App().settings.languageName = "中文";
    window->ApplyCaptions();
    EXPECT_EQ(window->newPatientButton->text(), "新病人");
    if (!shots.isEmpty())
        window->grab().save(shots + "/main-window-zh.png");
    EXPECT_EQ(window->recordButton->text(), "开始记录");

    App().settings.languageName = "English";
    window->ApplyCaptions();
    EXPECT_EQ(window->newPatientButton->text(), "New Patient");
}

TEST_F(MainWindowModes, CloseEndsOnlyWhenIdle)
{
    window->show();
    App().state.recording = true;
    window->OnClose();
    EXPECT_TRUE(window->isVisible());
    App().state.recording = false;
    window->demoActive = true;
    window->OnClose();
    EXPECT_TRUE(window->isVisible());
    window->demoActive = false;
    window->OnClose();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(prompt.Texts() == QStringList({"Please stop the recording", "Please stop the Demo first"}));
}

TEST_F(MainWindowModes, LayoutTilesTwelvePanelsInTwoColumns)
{
    const int R = window->width();
    EXPECT_EQ(window->leadRect[0].left(), R / 8);
    EXPECT_EQ(window->leadRect[6].left(), R / 8 + R / 8 + R / 4 + 1);
    EXPECT_EQ(window->labelRect[6].right(), window->leadRect[6].left());
    EXPECT_LT(window->leadRect[5].bottom(), window->leadRect[11].bottom() + 1);
    EXPECT_EQ(window->headerRect.top(), window->leadRect[11].bottom() + 1);
    EXPECT_GT(window->measurementRect.left(), window->leadRect[11].right());
}
