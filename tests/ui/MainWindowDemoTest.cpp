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
            EXPECT_EQ(list->fileNames.size(), 2) << list->fileNames.join(" ").toStdString();
            if (name.isEmpty())
                return list->cancelButton->click();
            list->list->selectRow(list->fileNames.indexOf(name));
            list->okButton->click();
        });
        window->Buttons().demo->click();
    }
    uint32_t Played() const { return window->Decoder().DisplayCounter(); }
};

}  // namespace

TEST_F(Demo, PlaysTheChosenRecordAtTheRecordersPaceThroughTheLivePathUntilStop)
{
    EcgParameters params;
    EcgPreset("normal", params);
    WritePackets("Data/Demo/NormalSinus.cv", SynthesizeRecord(params));  // makes the folder
    std::ofstream("Data/Demo/Broken.cv") << "xy";
    ASSERT_EQ(mkfifo("Data/Demo/Pipe.cv", 0600), 0);
    OpenWindow();
    EXPECT_FALSE(window->GetSession().PortOpen());  // no recorder: DEMO works all the same
    StartDemo("");  // a cancelled list leaves everything as it was
    EXPECT_FALSE(window->GetSession().Demo());
    EXPECT_EQ(window->Buttons().demo->text(), "DEMO");
    EXPECT_TRUE(prompt.shown.empty());

    StartDemo("Broken.cv");  // reported, and demo mode holds until STOP
    EXPECT_TRUE(prompt.Texts() == QStringList{"File error"});
    EXPECT_TRUE(window->GetSession().Demo());
    EXPECT_EQ(window->Buttons().demo->text(), "STOP");
    RunFor(100);
    EXPECT_EQ(Played(), 0u);
    window->Buttons().demo->click();
    EXPECT_FALSE(window->GetSession().Demo());

    prompt.Clear();
    StartDemo("NormalSinus.cv");
    EXPECT_TRUE(window->GetSession().Demo());
    EXPECT_EQ(window->Buttons().demo->text(), "STOP");
    EXPECT_FALSE(window->Buttons().record->isEnabled());
    EXPECT_EQ(window->State().demoFilePath, "Data/Demo/NormalSinus.cv");

    const uint32_t before = Played();
    RunFor(2500);
    const uint32_t played = Played() - before;
    EXPECT_GT(played, 1850u);  // 800 packets per second
    EXPECT_LT(played, 2150u);
    EXPECT_TRUE(PanelHasTrace(kLeadI));
    EXPECT_FALSE(PanelHasTrace(kLeadII));
    EXPECT_EQ(window->Display().LabelText(kLeadI, 2), "35Hz");

    window->Buttons().demo->click();
    EXPECT_FALSE(window->GetSession().Demo());
    EXPECT_EQ(window->Buttons().demo->text(), "DEMO");
    // The port is opened again: there is none here.
    EXPECT_TRUE(prompt.Texts() == QStringList{"Connection error"});
    const uint32_t stopped = Played();
    RunFor(200);
    EXPECT_EQ(Played(), stopped);
    EXPECT_FALSE(PanelHasTrace(kLeadI));  // pens reset with erase
}
