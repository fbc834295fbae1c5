// The window's operating mode: which command each mode refuses and with what key (on the session
// alone), and the refusals as the user sees them in the window.
#include <gtest/gtest.h>

#include <QPushButton>

#include "tests/support/RecordingPrompt.h"
#include "tests/support/TestContext.h"
#include "ui/MainWindow.h"
#include "ui/Session.h"

namespace {

enum class Start { Idle, LivePortClosed, Live, Recording, Demo };

Session In(Start start)
{
    Session s;
    s.SetPortOpen(start != Start::LivePortClosed);
    if (start != Start::Idle)
        s.AcceptPatient();
    if (start == Start::Recording)
        s.StartRecording();
    if (start == Start::Demo)
        s.StartDemo();
    return s;
}

}  // namespace

TEST(MainWindowModes, RefusalsUseTheirCaptionAndIconAndCloseEndsOnlyWhenIdle)
{
    RecordingPrompt prompt;
    TestContext app{prompt};
    MainWindow window(app.context);
    window.show();
    Session& session = window.GetSession();
    session.SetPortOpen(true);
    session.AcceptPatient();
    session.StartRecording();
    window.OnSetup();
    window.OnClose();
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[0].caption, "Corvida");
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Exclamation);

    session.StopRecording();
    session.SetPortOpen(false);
    session.AcceptPatient();
    window.OnRecord();
    ASSERT_EQ(prompt.shown.size(), 3u);
    EXPECT_EQ(prompt.shown[2].icon, PromptIcon::None);
    session.StartDemo();
    window.OnClose();
    EXPECT_TRUE(window.isVisible());
    session.StopDemo();
    window.OnClose();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(prompt.Texts() == QStringList({"Please stop the recording first.", "Please stop the recording first.",
                                               "Please check the serial port settings.",
                                               "Please stop the demo first."}))
        << prompt.Texts().join(" | ").toStdString();
}

TEST(Session, CommandsAreRefusedWithTheirKeyInEachMode)
{
    using C = Command;
    using S = Start;
    const char* demo = "Please stop the Demo first";
    const char* recording = "Please stop the recording";
    const struct {
        Start start;
        Command command;
        const char* key;  // null: the command runs
    } cases[] = {
        {S::Demo, C::NewPatient, demo}, {S::Recording, C::NewPatient, recording},
        {S::Demo, C::Record, demo}, {S::LivePortClosed, C::Record, kCheckPortKey},
        {S::Idle, C::Record, "Please bulid new patient"},
        {S::Recording, C::Record, nullptr},  // Stop Record
        {S::Demo, C::RealTimeView, demo}, {S::Recording, C::HistoryView, recording},
        {S::Demo, C::HistoryView, demo}, {S::Recording, C::Setup, recording},
        {S::Demo, C::Setup, demo}, {S::Demo, C::Print, demo},
        {S::Recording, C::Demo, recording}, {S::Demo, C::Demo, nullptr},  // STOP
        {S::Recording, C::Close, recording}, {S::Demo, C::Close, demo},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(In(c.start).Refusal(c.command), c.key)
            << int(c.start) << ' ' << int(c.command);
}
