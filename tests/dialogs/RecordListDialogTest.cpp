// The record list shows a patient's records by recording time in directory order and hands the
// clicked one back through its paths and its result.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <map>

#include "dialogs/RecordListDialog.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestContext.h"

namespace fs = std::filesystem;

TEST(RecordList, HistoryModeShowsTimesInDirectoryOrderAndChoosesTheClickedRow)
{
    RecordingPrompt prompt;
    TestContext app{prompt};
    TempDir dir{true};
    fs::create_directories("Data/7");
    const std::map<std::string, QString> rows = {{"m200903071405.cv", "RealTime2009-03-07 14:05"},
                                                 {"m201112312359.cv", "RealTime2011-12-31 23:59"},
                                                 {"m202001020304.cv", "RealTime2020-01-02 03:04"}};
    for (const auto& [name, text] : rows)
        std::ofstream(fs::path("Data/7") / name) << "x";
    std::ofstream("Data/7/notes.txt") << "x";
    std::vector<std::string> order;  // the file system's, which the rows must follow
    for (const auto& entry : fs::directory_iterator("Data/7"))
        if (entry.path().extension() == ".cv")
            order.push_back(entry.path().filename().string());

    RecordListDialog dialog(app.context);
    dialog.patientId = "7";
    dialog.show();
    ASSERT_EQ(dialog.list->rowCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dialog.fileNames[i].toStdString(), order[i]);
        EXPECT_EQ(dialog.list->item(i, 0)->text(), rows.at(order[i]));
    }
    QTest::mouseClick(dialog.list->viewport(), Qt::LeftButton, {},
                      dialog.list->visualItemRect(dialog.list->item(1, 0)).center());
    dialog.okButton->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);  // the opener reviews the record
    EXPECT_EQ(dialog.recordPath, QString::fromStdString("Data/7/" + order[1]));
    EXPECT_EQ(dialog.demoFilePath, QString::fromStdString("Data/Demo/" + order[1]));
}
