// The setup dialog: what OK hands back, and what reaches Settings.ini.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QPushButton>

#include "foundation/ProfileFile.h"
#include "dialogs/SetupDialog.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestContext.h"

TEST(SetupDialog, OkHandsBackTheChoicesAndSavesOnlyThePortOrSaysItCannot)
{
    RecordingPrompt prompt;
    TestContext app{prompt};
    app.settings.BuildSettingsPath();
    QFile::remove(app.settings.configPath);
    SetupDialog dialog(app.context);
    const std::pair<QComboBox*, const char*> choices[] = {
        {dialog.portList, "COM12"},   {dialog.baudList, "9600"},   {dialog.parityList, "Space"},
        {dialog.dataBitList, "7"},    {dialog.stopBitList, "2"},   {dialog.speedList, "50 mm/s"},
        {dialog.printSpeedList, "12.5 mm/s"}};
    for (const auto& [list, text] : choices) {
        // Chosen as by hand: the lists react to the user's choice only.
        const int index = list->findText(text);
        ASSERT_GE(index, 0) << text;
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    dialog.okButton->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(std::tuple(dialog.portNumber, dialog.baudRate, dialog.parity, dialog.dataBits, dialog.stopBits,
                         dialog.speedIndex, dialog.printSpeedIndex),
              std::tuple(12, 9600, 'S', 7, 2, 2, 0));
    const std::string ini = app.settings.configPath.toStdString();
    EXPECT_EQ(GetProfileString(ini, "CommNo", "Path"), "12");
    EXPECT_EQ(GetProfileString(ini, "Language", "Path"), "");
    EXPECT_TRUE(prompt.shown.empty());

    // Settings.ini, linked to a full disk, must grow a page: the failure is said, the file kept whole.
    TempDir full;
    const SmallDisk disk(full.Path(), "64k");
    if (!disk.Mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    const std::string before = "[Language]\r\nPath=English\r\n;" + std::string(4060, '-') + "\r\n";
    std::ofstream(full.Path() / "Settings.ini", std::ios::binary) << before;
    std::ofstream(full.Path() / "filler", std::ios::binary) << std::string(1 << 20, 'x');
    QFile::remove(app.settings.configPath);
    std::filesystem::create_symlink(full.Path() / "Settings.ini", ini);
    SetupDialog(app.context).okButton->click();
    QFile::remove(app.settings.configPath);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_TRUE(prompt.shown[0].text.startsWith("save error"));
    EXPECT_TRUE(ReadBytes(full.Path() / "Settings.ini") == before) << "the settings file changed";
}
