// The record list shows a patient's records by recording time or the demo records by name, and
// hands the choice back through the shared paths and its result.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/Application.h"
#include "record/RecordListDialog.h"
#include "tests/support/QtApp.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

void Touch(const fs::path& path)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
}

// The order the file system gives, which the rows must follow.
std::vector<std::string> DirectoryOrder(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().extension() == ".cv")
            names.push_back(entry.path().filename().string());
    return names;
}

class RecordList : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureQtApp();
        App().state = RunState();
        App().language.SetDirectory(CORVIDA_SOURCE_DIR "/language");
        App().language.Scan();
        App().language.Load("English");
    }
    void ClickRow(RecordListDialog& dialog, int row)
    {
        QTableWidget* list = dialog.list;
        QRect r = list->visualItemRect(list->item(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    }
    TempDir dir{true};
};

}  // namespace

TEST_F(RecordList, HistoryModeShowsTimesInDirectoryOrderAndChoosesTheClickedRow)
{
    for (const char* name : {"m200903071405.cv", "m201112312359.cv", "m202001020304.cv"})
        Touch(fs::path("Data/7") / name);
    Touch("Data/7/notes.txt");
    std::vector<std::string> order = DirectoryOrder("Data/7");
    ASSERT_EQ(order.size(), 3u);

    RecordListDialog dialog;
    dialog.patientId = "7";
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "History File List");
    EXPECT_EQ(dialog.list->horizontalHeaderItem(0)->text(), "Record Name");
    EXPECT_EQ(dialog.list->columnWidth(0), 200);
    EXPECT_EQ(dialog.okButton->text(), "OK");
    EXPECT_EQ(dialog.cancelButton->text(), "Cancel");
    ASSERT_EQ(dialog.list->rowCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dialog.fileNames[i].toStdString(), order[i]);
        EXPECT_EQ(dialog.list->item(i, 0)->text(),
                  RecordListDialog::HistoryRowText(QString::fromStdString(order[i])));
    }

    ClickRow(dialog, 1);
    dialog.okButton->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(App().state.lastSavedRecordPath, QString::fromStdString("Data/7/" + order[1]));
    EXPECT_EQ(dialog.demoFilePath, QString::fromStdString("Data/Demo/" + order[1]));
    EXPECT_TRUE(App().state.review);
}

TEST_F(RecordList, HistoryRowTextTakesFixedPositionsOfTheName)
{
    const struct {
        const char* name;
        const char* text;
    } cases[] = {
        {"m200903071405.cv", "RealTime2009-03-07 14:05"},
        {"m2009030714.cv", "RealTime2009-03-07 14:.c"},  // shorter names give what is there
        {"m2009.cv", "RealTime2009-.c-v :"},
        {"", "RealTime-- :"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RecordListDialog::HistoryRowText(c.name), QString(c.text)) << c.name;
}

TEST_F(RecordList, DemoModeShowsNamesAndSetsBothPaths)
{
    Touch("Data/Demo/normal.cv");
    RecordListDialog dialog;
    dialog.demoMode = 1;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "DEMO File List");
    ASSERT_EQ(dialog.list->rowCount(), 1);
    EXPECT_EQ(dialog.list->item(0, 0)->text(), "normal.cv");

    QTableWidget* list = dialog.list;
    QRect r = list->visualItemRect(list->item(0, 0));
    // A real double click arrives as a click followed by the double-click event.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.demoFilePath, "Data/Demo/normal.cv");
    // The patient identifier is empty in demo mode.
    EXPECT_EQ(App().state.lastSavedRecordPath, "Data//normal.cv");
}

TEST_F(RecordList, OkWithoutAChoiceClearsThePathAndCancels)
{
    struct Case {
        const char* name;
        bool withFiles;
    };
    for (Case c : {Case{"no folder", false}, Case{"rows, none selected", true}}) {
        if (c.withFiles)
            Touch("Data/3/m200903071405.cv");
        App().state.lastSavedRecordPath = "Data/3/old.cv";
        App().state.review = false;
        RecordListDialog dialog;
        dialog.patientId = "3";
        dialog.show();
        dialog.list->setFocus();  // focus gives the view a current row, which is no choice
        dialog.okButton->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << c.name;
        EXPECT_TRUE(App().state.lastSavedRecordPath.isEmpty()) << c.name;
        EXPECT_FALSE(App().state.review) << c.name;
    }
}

TEST_F(RecordList, CancelChangesNothing)
{
    Touch("Data/3/m200903071405.cv");
    App().state.lastSavedRecordPath = "Data/3/old.cv";
    RecordListDialog dialog;
    dialog.patientId = "3";
    dialog.show();
    ClickRow(dialog, 0);
    dialog.cancelButton->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(App().state.lastSavedRecordPath, "Data/3/old.cv");
    EXPECT_TRUE(dialog.demoFilePath.isEmpty());
}
