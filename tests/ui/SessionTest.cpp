// The window's operating mode without a window: which command each mode refuses and with what.
#include <gtest/gtest.h>

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
