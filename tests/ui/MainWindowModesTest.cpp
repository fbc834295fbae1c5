// The window's operating mode: which command each mode refuses and with what key (on the session
// alone), and the refusals as the user sees them in the window.
#include <gtest/gtest.h>

#include "dialogs/SetupDialog.h"
#include "tests/ui/LiveWindow.h"
#include "ui/Session.h"

using namespace live;

namespace {

const bool kScreen = UseFullHdScreen();

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

class MainWindowModes : public LiveWindow {};

}  // namespace

TEST_F(MainWindowModes, RefusalsUseTheirCaptionAndIconAndCloseEndsOnlyWhenIdle)
{
    PlugRecorder(NormalRecord(1));
    OpenWindow();
    NewPatient();
    const WindowButtons& b = window->Buttons();
    b.record->click();
    ASSERT_TRUE(IsRecording());
    for (QPushButton* button : {b.setup, b.close, b.record})
        button->click();
    EXPECT_TRUE(window->isVisible());
    // A port that cannot be opened any more.
    WhenShown<SetupDialog>([](SetupDialog& d) {
        d.portList->setCurrentIndex(8);  // COM9
        d.okButton->click();
    });
    b.setup->click();
    b.record->click();
    WritePackets("Data/Demo/Normal.cv", NormalRecord(1));
    WhenShown<RecordListDialog>([](RecordListDialog& list) {
        list.list->selectRow(0);
        list.okButton->click();
    });
    b.demo->click();
    b.close->click();
    EXPECT_TRUE(window->isVisible());
    b.demo->click();
    b.close->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(prompt.Texts(), QStringList({"Please stop the recording first.", "Please stop the recording first.", "No data!",
                                           "Connection error", "Please check the serial port settings.",
                                           "Please stop the demo first.", "Connection error"}));
    EXPECT_EQ(prompt.shown[0].caption, "Corvida");
    EXPECT_EQ(prompt.shown[0].icon, PromptIcon::Exclamation);
    EXPECT_EQ(prompt.shown[4].caption, "Corvida");
    EXPECT_EQ(prompt.shown[4].icon, PromptIcon::None);
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
