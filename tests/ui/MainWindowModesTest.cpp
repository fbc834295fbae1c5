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

TEST_F(MainWindowModes, RefusalsUseTheirCaptionAndIconAndCloseEndsOnlyWhenIdle)
{
    window->show();
    Session& session = window->GetSession();
    session.SetPortOpen(true);
    session.AcceptPatient();
    session.StartRecording();
    window->OnSetup();
    window->OnClose();
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[0].caption, "Corvida");
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Exclamation);

    session.StopRecording();
    session.SetPortOpen(false);
    session.AcceptPatient();
    window->OnRecord();
    ASSERT_EQ(prompt.shown.size(), 3u);
    EXPECT_EQ(prompt.shown[2].icon, PromptIcon::None);
    session.StartDemo();
    window->OnClose();
    EXPECT_TRUE(window->isVisible());
    session.StopDemo();
    window->OnClose();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(prompt.Texts() == QStringList({"Please stop the recording", "Please stop the recording",
                                               kCheckPortKey, "Please stop the Demo first"}))
        << prompt.Texts().join(" | ").toStdString();
}
