// DEMO plays a record from Data/Demo through the live packet path at the recorder's pace, over
// and over, until STOP.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <sys/stat.h>

#include "dialogs/RecordListDialog.h"
#include "tests/ui/LiveWindow.h"
#include "tools/SyntheticEcg.h"

using namespace live;

namespace {

const bool kScreen = UseFullHdScreen();

class Demo : public LiveWindow {
protected:
    // Presses DEMO and picks `name` in the list that opens, or cancels it when name is empty.
    void StartDemo(const QString& name)
    {
        QTimer::singleShot(0, [name] {
            auto* list = qobject_cast<RecordListDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(list, nullptr);
            // A FIFO is no regular file: never listed.
            EXPECT_EQ(list->fileNames.size(), 3) << list->fileNames.join(" ").toStdString();
            if (name.isEmpty())
                return list->cancelButton->click();
            list->list->selectRow(list->fileNames.indexOf(name));
            list->okButton->click();
        });
        window->Buttons().demo->click();
    }
    // How far lead I's trace has come: 100 points a second at 25 mm/s, one packet in eight.
    int PenX() const { return window->Display().Pen(kLeadI).x(); }
    bool Playing() const { return window->Buttons().demo->text() == "STOP"; }
};

}  // namespace

TEST_F(Demo, PlaysTheChosenRecordAtTheRecordersPaceThroughTheLivePathUntilStop)
{
    const std::vector<DevicePacket> record = NormalRecord();
    WritePackets("Data/Demo/NormalSinus.cv", record);  // makes the folder
    std::vector<DevicePacket> damaged = record;
    damaged.erase(damaged.begin() + 1000);  // lead I ends a packet early
    WritePackets("Data/Demo/Damaged.cv", damaged);
    std::ofstream("Data/Demo/Broken.cv") << "xy";
    ASSERT_EQ(mkfifo("Data/Demo/Pipe.cv", 0600), 0);
    OpenWindow();  // no recorder: DEMO works all the same
    StartDemo("");  // a cancelled list leaves everything as it was
    EXPECT_FALSE(Playing());
    EXPECT_EQ(window->Buttons().demo->text(), "DEMO");
    EXPECT_TRUE(prompt.shown.empty());

    const int start = PenX();
    StartDemo("Broken.cv");  // reported, and demo mode holds until STOP
    EXPECT_EQ(prompt.Texts(), QStringList{"File error"});
    EXPECT_TRUE(Playing());
    RunFor(100);
    EXPECT_EQ(PenX(), start);
    window->Buttons().demo->click();
    EXPECT_FALSE(Playing());

    // A damaged record plays up to where it breaks, and says so.
    prompt.Clear();
    StartDemo("Damaged.cv");
    EXPECT_EQ(prompt.Texts(), QStringList{"record damaged at 3 s"});
    window->Buttons().demo->click();

    prompt.Clear();
    StartDemo("NormalSinus.cv");
    EXPECT_TRUE(Playing());
    EXPECT_FALSE(window->Buttons().record->isEnabled());
    RunFor(2500);
    EXPECT_GT(PenX() - start, 231);  // 800 packets per second
    EXPECT_LT(PenX() - start, 269);
    EXPECT_TRUE(PanelHasTrace(kLeadI));
    EXPECT_FALSE(PanelHasTrace(kLeadII));
    EXPECT_EQ(window->Display().LabelText(kLeadI, 2), "35Hz");

    window->Buttons().demo->click();
    EXPECT_FALSE(Playing());
    // The port is opened again: there is none here.
    EXPECT_EQ(prompt.Texts(), QStringList{"Connection error"});
    EXPECT_EQ(PenX(), start);
    RunFor(200);
    EXPECT_EQ(PenX(), start);
    EXPECT_FALSE(PanelHasTrace(kLeadI));  // pens reset with erase
}
