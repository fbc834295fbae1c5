// The window's operating mode without a window: which command each mode refuses and with what,
// and the watcher's suspensions.
#include <gtest/gtest.h>

#include <string>

#include "ui/Session.h"

namespace {

enum class Start { Idle, IdlePortClosed, Live, LivePortClosed, Recording, Demo };

Session In(Start start)
{
    Session s;
    s.SetPortOpen(start != Start::IdlePortClosed && start != Start::LivePortClosed);
    if (start != Start::Idle && start != Start::IdlePortClosed)
        s.AcceptPatient();
    if (start == Start::Recording)
        s.StartRecording();
    if (start == Start::Demo)
        s.StartDemo();
    return s;
}

}  // namespace

TEST(Session, CommandsAreRefusedWithTheirKeyInEachMode)
{
    const char* demo = "Please stop the Demo first";
    const char* recording = "Please stop the recording";
    const struct {
        Start start;
        Command command;
        const char* key;  // null: the command runs
    } cases[] = {
        {Start::Demo, Command::NewPatient, demo},
        {Start::Recording, Command::NewPatient, recording},
        {Start::Demo, Command::Record, demo},
        {Start::LivePortClosed, Command::Record, kCheckPortKey},
        {Start::Idle, Command::Record, "Please bulid new patient"},
        {Start::IdlePortClosed, Command::Record, kCheckPortKey},
        {Start::Recording, Command::Record, nullptr},  // Stop Record
        {Start::Live, Command::Record, nullptr},
        {Start::Demo, Command::RealTimeView, demo},
        {Start::Recording, Command::HistoryView, recording},
        {Start::Demo, Command::HistoryView, demo},
        {Start::Recording, Command::Setup, recording},
        {Start::Demo, Command::Setup, demo},
        {Start::Demo, Command::Print, demo},
        {Start::Recording, Command::Print, nullptr},
        {Start::Recording, Command::Demo, recording},
        {Start::Demo, Command::Demo, nullptr},  // STOP
        {Start::Recording, Command::Close, recording},
        {Start::Demo, Command::Close, demo},
        {Start::IdlePortClosed, Command::Close, nullptr},
    };
    for (const auto& c : cases) {
        const char* key = In(c.start).Refusal(c.command);
        EXPECT_EQ(std::string(key ? key : ""), std::string(c.key ? c.key : ""))
            << int(c.start) << " " << int(c.command);
    }
}

TEST(Session, ModesFollowTheCommands)
{
    Session s = In(Start::Live);
    EXPECT_EQ(s.Current(), Mode::Live);
    s.EnterReview();  // a record chosen in History View while the patient is ready
    EXPECT_EQ(s.Current(), Mode::Review);
    s.StartRecording();
    EXPECT_EQ(s.Current(), Mode::Recording);
    EXPECT_TRUE(s.Review());
    s.ForgetPatient();  // Print while recording: the recording goes on
    EXPECT_TRUE(s.Recording());
    s.StopRecording();
    EXPECT_FALSE(s.PatientReady());
    s.StartDemo();
    EXPECT_EQ(s.Current(), Mode::Demo);
    s.StopDemo();
    EXPECT_EQ(s.Current(), Mode::Idle);
}

TEST(Session, HistoryViewSuspendsARunningWatcherAndItsCloseResumesIt)
{
    Session s = In(Start::Live);
    EXPECT_FALSE(s.SuspendForHistory());  // not watching yet
    EXPECT_FALSE(s.ResumeAfterHistory());
    EXPECT_TRUE(s.BeginMonitoring());
    EXPECT_FALSE(s.BeginMonitoring());  // once, until Setup or DEMO forget it
    EXPECT_TRUE(s.SuspendForHistory());
    EXPECT_FALSE(s.SuspendForHistory());
    EXPECT_TRUE(s.ResumeAfterHistory());
    EXPECT_TRUE(s.WatcherRunning());
    EXPECT_TRUE(s.ResumeAfterHistory());  // every later Close resumes as well
    s.StartDemo();
    EXPECT_FALSE(s.WatcherRunning());
    EXPECT_TRUE(s.ResumeForLive());
    s.ForgetMonitoring();
    EXPECT_TRUE(s.BeginMonitoring());
}
