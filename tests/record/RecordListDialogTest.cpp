// The record list shows a patient's records by recording time or the demo records by name, and
// hands the choice back through its paths and its result.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/LanguageTable.h"
#include "record/RecordListDialog.h"
#include "tests/support/QtApp.h"
#include "tests/support/ShippedLanguage.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

TEST(RecordList, HistoryModeShowsTimesInDirectoryOrderAndChoosesTheClickedRow)
{
    EnsureQtApp();
    const LanguageTable language = ShippedLanguage();
    TempDir dir{true};
    fs::create_directories("Data/7");
    for (const char* name : {"m200903071405.cv", "m201112312359.cv", "m202001020304.cv", "notes.txt"})
        std::ofstream(fs::path("Data/7") / name) << "x";
    // The order the file system gives, which the rows must follow.
    std::vector<std::string> order;
    for (const auto& entry : fs::directory_iterator("Data/7"))
        if (entry.path().extension() == ".cv")
            order.push_back(entry.path().filename().string());
    ASSERT_EQ(order.size(), 3u);

    RecordListDialog dialog(language);
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
                  RecordListDialog::HistoryRowText(QString::fromStdString(order[i]), language));
    }

    QTest::mouseClick(dialog.list->viewport(), Qt::LeftButton, {},
                      dialog.list->visualItemRect(dialog.list->item(1, 0)).center());
    dialog.okButton->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);  // the opener reviews the record
    EXPECT_EQ(dialog.recordPath, QString::fromStdString("Data/7/" + order[1]));
    EXPECT_EQ(dialog.demoFilePath, QString::fromStdString("Data/Demo/" + order[1]));
}
