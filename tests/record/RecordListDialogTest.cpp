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
        language = ShippedLanguage();
    }
    void ClickRow(RecordListDialog& dialog, int row)
    {
        QTableWidget* list = dialog.list;
        QRect r = list->visualItemRect(list->item(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    }
    TempDir dir{true};
    LanguageTable language;
};

}  // namespace

TEST_F(RecordList, HistoryModeShowsTimesInDirectoryOrderAndChoosesTheClickedRow)
{
    for (const char* name : {"m200903071405.cv", "m201112312359.cv", "m202001020304.cv"})
        Touch(fs::path("Data/7") / name);
    Touch("Data/7/notes.txt");
    std::vector<std::string> order = DirectoryOrder("Data/7");
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

    ClickRow(dialog, 1);
    dialog.okButton->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);  // the opener reviews the record
    EXPECT_EQ(dialog.recordPath, QString::fromStdString("Data/7/" + order[1]));
    EXPECT_EQ(dialog.demoFilePath, QString::fromStdString("Data/Demo/" + order[1]));
}
