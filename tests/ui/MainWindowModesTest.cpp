// The main window's refusals as the user sees them, and captions that follow the language (the
// mode table itself is tested on the session, in SessionTest.cpp).
#include <gtest/gtest.h>

#include <QPushButton>

#include "tests/support/RecordingPrompt.h"
#include "tests/support/TestContext.h"
#include "ui/MainWindow.h"

namespace {

class MainWindowModes : public ::testing::Test {
protected:
    RecordingPrompt prompt;
    TestContext app{prompt};
    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>(app.context);
};

}  // namespace

TEST_F(MainWindowModes, RefusalsUseTheirCaptionAndIcon)
{
    Session& session = window->GetSession();
    session.SetPortOpen(true);
    session.AcceptPatient();
    session.StartRecording();
    window->OnSetup();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].caption, "Corvida");
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Exclamation);

    prompt.Clear();
    session.StopRecording();
    session.SetPortOpen(false);
    session.AcceptPatient();
    window->OnRecord();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::None);
}

TEST_F(MainWindowModes, SecondStepsStopAtTheEnds)
{
    ReviewPosition& at = window->GetSession().position;
    at.pageCount = 48;
    at.currentSecond = 1;
    window->Buttons().prev->setEnabled(true);
    window->OnPrevSecond();
    EXPECT_EQ(at.currentSecond, 1);
    EXPECT_FALSE(window->Buttons().prev->isEnabled());

    at.currentSecond = 48;
    window->Buttons().next->setEnabled(true);
    window->OnNextSecond();
    EXPECT_EQ(at.currentSecond, 48);
    EXPECT_FALSE(window->Buttons().next->isEnabled());

    at.currentSecond = 47;
    window->OnNextSecond();
    EXPECT_EQ(at.currentSecond, 48);
}

TEST_F(MainWindowModes, CaptionsFollowTheLanguage)
{
    EXPECT_EQ(window->Buttons().close->text(), "CLOSE");
    EXPECT_EQ(window->Buttons().newPatient->text(), "New Patient");
    EXPECT_EQ(window->Buttons().demo->text(), "DEMO");

    const QString shots = qEnvironmentVariable("CORVIDA_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        window->grab().save(shots + "/main-window-en.png");
    app.settings.languageName = "中文";
    window->ApplyCaptions();
    EXPECT_EQ(window->Buttons().newPatient->text(), "新病人");
    if (!shots.isEmpty())
        window->grab().save(shots + "/main-window-zh.png");
    EXPECT_EQ(window->Buttons().record->text(), "开始记录");

    app.settings.languageName = "English";
    window->ApplyCaptions();
    EXPECT_EQ(window->Buttons().newPatient->text(), "New Patient");
}

TEST_F(MainWindowModes, CloseEndsOnlyWhenIdle)
{
    window->show();
    Session& session = window->GetSession();
    session.AcceptPatient();
    session.StartRecording();
    window->OnClose();
    EXPECT_TRUE(window->isVisible());
    session.StartDemo();
    window->OnClose();
    EXPECT_TRUE(window->isVisible());
    session.StopDemo();
    window->OnClose();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(prompt.Texts() == QStringList({"Please stop the recording", "Please stop the Demo first"}));
}

TEST_F(MainWindowModes, LayoutTilesTwelvePanelsInTwoColumns)
{
    const int R = window->width();
    const WindowLayout& l = window->Layout();
    EXPECT_EQ(l.leadRect[0].left(), R / 8);
    EXPECT_EQ(l.leadRect[6].left(), R / 8 + R / 8 + R / 4 + 1);
    EXPECT_EQ(l.labelRect[6].right(), l.leadRect[6].left());
    EXPECT_LT(l.leadRect[5].bottom(), l.leadRect[11].bottom() + 1);
    EXPECT_EQ(l.headerRect.top(), l.leadRect[11].bottom() + 1);
    EXPECT_GT(l.measurementRect.left(), l.leadRect[11].right());
}
