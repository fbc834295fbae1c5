#include "dialogs/RecordListDialog.h"

#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

#include "db/PatientStore.h"
#include "db/ReadingStore.h"
#include "dialogs/ReadingDialog.h"
#include "record/RecordFile.h"

RecordListDialog::RecordListDialog(const AppContext& context, QWidget* parent)
    : QDialog(parent), context_(context)
{
    resize(260, 330);
    list = new QTableWidget(0, 1, this);
    list->setGeometry(10, 10, 240, 270);
    list->verticalHeader()->hide();
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setShowGrid(true);
    list->setColumnWidth(0, 200);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    okButton = new QPushButton(this);
    okButton->setGeometry(40, 292, 80, 26);
    okButton->setDefault(true);
    cancelButton = new QPushButton(this);
    cancelButton->setGeometry(140, 292, 80, 26);

    readButton = new QPushButton(this);
    readButton->hide();
    connect(readButton, &QPushButton::clicked, this, &RecordListDialog::OnRead);
    connect(okButton, &QPushButton::clicked, this, &RecordListDialog::OnOk);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(list, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { OnDoubleClick(row); });
}

QString RecordListDialog::Translate(const char* key) const
{
    return context_.Translate(key);
}

QString RecordListDialog::HistoryRowText(const QString& fileName, const LanguageTable& language)
{
    return ::Translate(language, "RealTime") + fileName.mid(1, 4) + "-" + fileName.mid(5, 2) + "-" +
           fileName.mid(7, 2) + " " + fileName.mid(9, 2) + ":" + fileName.mid(11, 2);
}

void RecordListDialog::showEvent(QShowEvent* event)
{
    // The opener sets the mode between construction and exec(), so the list is built on showing.
    if (!filled_) {
        filled_ = true;
        Fill();
    }
    QDialog::showEvent(event);
}

void RecordListDialog::Fill()
{
    list->setHorizontalHeaderLabels({Translate("Record Name")});
    const QString folder = demoMode ? QString("Data/Demo") : DataRoot() + "/" + patientId;
    setWindowTitle(Translate(demoMode ? "DEMO File List" : "History File List"));
    okButton->setText(Translate("OK"));
    cancelButton->setText(Translate("Cancel"));

    // The directory's own order, as the rows are promised to follow it.
    fileNames.clear();
    for (const std::string& name : ListRecords(folder.toStdString(), demoMode != 0).records)
        fileNames << QString::fromStdString(name);
    list->setRowCount(fileNames.size());
    for (int i = 0; i < fileNames.size(); ++i) {
        auto* item = new QTableWidgetItem(demoMode ? fileNames[i] : HistoryRowText(fileNames[i], context_.language));
        item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        list->setItem(i, 0, item);
    }
    if (!demoMode)
        ShowReadings();
}

void RecordListDialog::ShowReadings()
{
    // Wider, for the column of who read each record.
    resize(560, 330);
    list->setGeometry(10, 10, 540, 270);
    list->setColumnCount(2);
    list->setColumnWidth(kReadingColumn, 320);
    list->setHorizontalHeaderLabels({Translate("Record Name"), Translate("Reading")});
    readButton->setText(Translate("Read ECG"));
    readButton->setGeometry(340, 292, 80, 26);
    readButton->show();
    const PatientLookup patient = FindPatient(patientId);
    const std::optional<std::map<QString, Reading>> readings =
        patient.row ? LatestReadingsOfPatient(patient.row->PatientID, patient.row->NewDate) : std::nullopt;
    for (int i = 0; i < fileNames.size(); ++i) {
        QString state;
        if (readings) {
            const auto found = readings->find(RecordDigest(DataRoot() + "/" + patientId + "/" + fileNames[i]));
            const Reading* latest = found == readings->end() ? nullptr : &found->second;
            if (!latest || latest->version == 0)
                state = Translate("Unread");
            else
                state = (latest->version == 1 ? Translate("Confirmed by") : Translate("Amended by")) + " " +
                        QString::fromStdString(ReaderLine(*latest));
        }
        list->setItem(i, kReadingColumn, new QTableWidgetItem(state));
    }
}

void RecordListDialog::OnRead()
{
    const QList<QTableWidgetItem*> selected = list->selectedItems();
    const int row = selected.isEmpty() ? -1 : selected.first()->row();
    if (row < 0 || row >= fileNames.size())
        return;
    ReadingDialog reading(context_, DataRoot() + "/" + patientId + "/" + fileNames[row], this);
    if (!reading.Loaded())
        return;
    reading.exec();
    ShowReadings();
    list->selectRow(row);
}

void RecordListDialog::Choose(int row)
{
    const QString& name = fileNames[row];
    recordPath = DataRoot() + "/" + patientId + "/" + name;
    demoFilePath = "Data/Demo/" + name;
}

void RecordListDialog::OnDoubleClick(int row)
{
    if (row >= 0 && row < fileNames.size())
        Choose(row);
    OnOk();
}

void RecordListDialog::OnOk()
{
    // Only a row the user actually selected counts: the view's current row alone may have been
    // set by focus without any choice.
    const QList<QTableWidgetItem*> selected = list->selectedItems();
    const int row = selected.isEmpty() ? -1 : selected.first()->row();
    if (row < 0 || row >= fileNames.size()) {
        recordPath = QString();
        reject();
        return;
    }
    Choose(row);
    accept();
}
