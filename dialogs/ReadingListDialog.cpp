#include "dialogs/ReadingListDialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "db/PatientStore.h"
#include "dialogs/Prompt.h"
#include "dialogs/ReadingDialog.h"

ReadingListDialog::ReadingListDialog(const AppContext& context, QWidget* parent)
    : QDialog(parent), context_(context)
{
    setWindowTitle(context_.Translate("Reading List"));
    list = new QTableWidget(0, kColumns, this);
    list->setHorizontalHeaderLabels({context_.Translate("Name"), context_.Translate("Clinical NO."),
                                     context_.Translate("Record"), context_.Translate("First statement")});
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    list->horizontalHeader()->setStretchLastSection(true);
    openButton = new QPushButton(context_.Translate("Read ECG"), this);
    openButton->setDefault(true);
    closeButton = new QPushButton(context_.Translate("Close"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(openButton);
    buttons->addWidget(closeButton);
    auto* all = new QVBoxLayout(this);
    all->addWidget(list);
    all->addLayout(buttons);
    resize(720, 480);
    connect(openButton, &QPushButton::clicked, this, &ReadingListDialog::OnOpen);
    connect(list, &QTableWidget::cellDoubleClicked, this, &ReadingListDialog::OnOpen);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    Fill();
}

QString ReadingListDialog::RecordPath(int row) const
{
    if (row < 0 || row >= static_cast<int>(unread_.size()))
        return {};
    const RecordKey& key = unread_[row].key;
    return PatientDataFolder(key.patientId) + "/" + key.recordName;
}

void ReadingListDialog::Fill()
{
    // Records made before readings were kept are analysed on a first look; that takes a while.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::optional<std::vector<UnreadRecord>> unread = UnreadRecords();
    QApplication::restoreOverrideCursor();
    unread_ = unread.value_or(std::vector<UnreadRecord>());
    list->setRowCount(static_cast<int>(unread_.size()));
    for (int row = 0; row < list->rowCount(); ++row) {
        const UnreadRecord& r = unread_[row];
        const std::vector<ReadingStatement>& statements = r.machine.statements;
        const QString first = statements.empty()
            ? QString() : QString::fromStdString(ReadingStatementText(statements.front(), context_.language));
        const QString cells[kColumns] = {r.patientName, r.clinicalNo, r.key.recordTime.left(16), first};
        for (int c = 0; c < kColumns; ++c)
            list->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
    if (!unread_.empty())
        list->selectRow(0);
    if (!unread)
        context_.prompt.Show(context_.Translate("Reading List"), context_.Translate("Search Record Error"),
                             PromptIcon::Exclamation, PromptButtons::Ok);
}

void ReadingListDialog::OnOpen()
{
    const QString path = RecordPath(list->currentRow());
    if (path.isEmpty())
        return;
    ReadingDialog reading(context_, path, this);
    if (!reading.Loaded())
        return;
    bool stored = false;
    connect(&reading, &ReadingDialog::readingStored, this, [&stored] { stored = true; });
    reading.exec();
    if (!stored)
        return;
    emit readingStored(path);
    Fill();
}
