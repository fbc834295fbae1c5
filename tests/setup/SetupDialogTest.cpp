// The setup dialog: what it shows, what OK hands back, and what reaches Settings.ini.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>

#include "app/ProfileFile.h"
#include "setup/SetupDialog.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TestContext.h"
#include "ui/MainWindow.h"

namespace {

class SetupDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.settings.BuildSettingsPath();
        ini = app.settings.configPath;
        QFile::remove(ini);
        SetupDialog::languageChanged = false;
    }
    void TearDown() override { QFile::remove(ini); }
    std::string Setting(const char* section) const
    {
        return GetProfileString(ini.toStdString(), section, "Path");
    }
    void Choose(QComboBox* list, const QString& text)
    {
        const int index = list->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    QString ini;
    RecordingPrompt prompt;
    TestContext app{prompt};
};

}  // namespace

TEST_F(SetupDialogTest, OkHandsBackTheChoicesAndSavesOnlyThePort)
{
    SetupDialog dialog(app.context);
    Choose(dialog.portList, "COM12");
    Choose(dialog.baudList, "9600");
    Choose(dialog.parityList, "SPACE");
    Choose(dialog.dataBitList, "7");
    Choose(dialog.stopBitList, "2");
    Choose(dialog.speedList, "50 mm/s");
    Choose(dialog.printSpeedList, "12.5 mm/s");
    dialog.okButton->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.portNumber, 12);
    EXPECT_EQ(dialog.baudRate, 9600);
    EXPECT_EQ(dialog.parity, 'S');
    EXPECT_EQ(dialog.dataBits, 7);
    EXPECT_EQ(dialog.stopBits, 2);
    EXPECT_EQ(dialog.speedIndex, 2);
    EXPECT_EQ(dialog.printSpeedIndex, 0);
    EXPECT_EQ(app.settings.portText, "12");
    EXPECT_EQ(Setting("CommNo"), "12");
    EXPECT_EQ(Setting("Language"), "");
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(SetupDialogTest, UnwritableSettingsAreReported)
{
    // A directory where the file should be makes the write fail.
    ASSERT_TRUE(QDir().mkpath(ini));
    SetupDialog dialog(app.context);
    dialog.okButton->click();
    QDir().rmdir(ini);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_TRUE(prompt.shown[0].text.startsWith("save error"));
}
