#include "dialogs/HistoryPatientListDialog.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>

#include "dialogs/Prompt.h"
#include "db/AdoRecordSet.h"
#include "db/PatientFolder.h"
#include "db/PatientStore.h"
#include "dicom/DicomExport.h"
#include "history/DicomPatientRow.h"
#include "history/PatientExchange.h"
#include "dialogs/RecordListDialog.h"
#include "record/RecordFile.h"

namespace {

// The layout is kept in dialog units (a quarter of the average character width, an eighth of
// the character height) of the dialog's 385 x 232 template, at the usual 6 x 13 pixel font.
QRect DialogUnits(int x, int y, int w, int h)
{
    auto px = [](int units) { return units * 6 / 4; };
    auto py = [](int units) { return units * 13 / 8; };
    return QRect(px(x), py(y), px(w), py(h));
}

QTableWidgetItem* Cell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return item;
}

QString TrimRight(QString text)
{
    qsizetype n = text.size();
    while (n > 0 && text[n - 1] == u' ')
        --n;
    text.truncate(n);
    return text;
}

}  // namespace

HistoryPatientListDialog::HistoryPatientListDialog(const AppContext& context,
                                                   const QString& viewedPatientId, QWidget* parent)
    : QDialog(parent),
      context_(context),
      viewedPatientId_(viewedPatientId),
      rows_(std::make_unique<AdoRecordSet>())
{
    setFixedSize(DialogUnits(0, 0, 385, 232).size());

    nameLabel = new QLabel(this);
    nameLabel->setGeometry(DialogUnits(4, 7, 68, 12));
    nameLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    nameFilter = new QLineEdit(this);
    nameFilter->setGeometry(DialogUnits(76, 7, 75, 12));
    clinicalNoLabel = new QLabel(this);
    clinicalNoLabel->setGeometry(DialogUnits(154, 7, 68, 12));
    clinicalNoLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    clinicalNoFilter = new QLineEdit(this);
    clinicalNoFilter->setGeometry(DialogUnits(226, 7, 75, 12));
    queryButton = new QPushButton(this);
    queryButton->setGeometry(DialogUnits(322, 7, 50, 14));

    list = new QTableWidget(0, 5, this);
    list->setGeometry(DialogUnits(5, 30, 375, 174));
    list->verticalHeader()->hide();
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setShowGrid(true);
    list->setWordWrap(false);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int widths[] = {100, 100, 60, 155, 155};
    for (int c = 0; c < 5; ++c)
        list->setColumnWidth(c, widths[c]);

    importButton = new QPushButton(this);
    importButton->setGeometry(DialogUnits(13, 210, 50, 14));
    exportButton = new QPushButton(this);
    exportButton->setGeometry(DialogUnits(75, 210, 50, 14));
    viewButton = new QPushButton(this);
    viewButton->setGeometry(DialogUnits(157, 210, 50, 14));
    deleteButton = new QPushButton(this);
    deleteButton->setGeometry(DialogUnits(239, 210, 50, 14));
    closeButton = new QPushButton(this);
    closeButton->setGeometry(DialogUnits(322, 210, 50, 14));

    connect(queryButton, &QPushButton::clicked, this, &HistoryPatientListDialog::OnQuery);
    connect(importButton, &QPushButton::clicked, this, &HistoryPatientListDialog::OnImport);
    connect(exportButton, &QPushButton::clicked, this, &HistoryPatientListDialog::OnExport);
    connect(viewButton, &QPushButton::clicked, this, &HistoryPatientListDialog::OnView);
    connect(deleteButton, &QPushButton::clicked, this, &HistoryPatientListDialog::OnDelete);
    connect(closeButton, &QPushButton::clicked, this, &HistoryPatientListDialog::OnClose);
    connect(list, &QTableWidget::cellDoubleClicked, this, [this](int, int) { OnView(); });

    nameLabel->setText(Translate("Patient Name"));
    clinicalNoLabel->setText(Translate("Clinical NO."));
    queryButton->setText(Translate("Query"));
    importButton->setText(Translate("Import"));
    exportButton->setText(Translate("Export"));
    viewButton->setText(Translate("View"));
    deleteButton->setText(Translate("Delete"));
    closeButton->setText(Translate("Close"));
    setWindowTitle(Translate("History Patient List"));
    list->setHorizontalHeaderLabels({Translate("Clinical NO."), Translate("Name"), Translate("Sex"),
                                     Translate("Date"), Translate("HistoryFile")});

    if (ReadDicomSettings(context_.settings.configPath.toStdString()).pacs) {
        sendAction = new QAction(Translate("Send to PACS"), list);
        list->setContextMenuPolicy(Qt::ActionsContextMenu);
        list->addAction(sendAction);
        connect(sendAction, &QAction::triggered, this, &HistoryPatientListDialog::OnSendToPacs);
    }

    baseFolder = QDir::currentPath() + "/";
    ShowList(LivePatientsStatement());
}

HistoryPatientListDialog::~HistoryPatientListDialog() = default;

void HistoryPatientListDialog::Tell(const AppContext& context, const QString& text)
{
    context.prompt.Show(context.Translate("History Patient List"), text, PromptIcon::Exclamation,
                        PromptButtons::Ok);
}

void HistoryPatientListDialog::SetViewedPatient(const QString& id)
{
    viewedPatientId_ = id;
    emit viewedPatientChanged(id);
}

void HistoryPatientListDialog::Report(const AppContext& context, const ExportResult& result)
{
    QStringList problems;
    for (const ExchangeProblem& p : result.problems)
        problems << p.file + ": " + context.Translate(p.key);
    QString text;
    switch (result.outcome) {
    case ExportResult::Outcome::Exported: text = context.Translate("Exported"); break;
    case ExportResult::Outcome::FolderFailed:
        text = context.Translate("Export incomplete") + "\n" +
               QDir::toNativeSeparators(result.folder);
        break;
    case ExportResult::Outcome::NoRecords:
        text = context.Translate("no data file copied");
        if (!problems.isEmpty())
            text = context.Translate("Export incomplete") + "\n" + problems.join("\n") + "\n" +
                   text;
        break;
    case ExportResult::Outcome::Incomplete:
        text = context.Translate("Export incomplete") + "\n" + problems.join("\n");
        break;
    }
    Tell(context, text);
}

void HistoryPatientListDialog::Report(const AppContext& context, const ImportResult& result)
{
    switch (result.outcome) {
    case ImportResult::Outcome::NoData: return Tell(context, context.Translate("No data!"));
    case ImportResult::Outcome::NotStored:
        // The take-over failures have texts of their own here, which differ in one letter.
        if (result.store == StoreOutcome::ReuseOpenFailed)
            return Tell(context, context.Translate("Import Failed"));
        if (result.store == StoreOutcome::ReuseCommitFailed)
            return Tell(context, context.Translate("Import failed"));
        return Tell(context, context.Translate(StoreFailureKey(result.store)));
    case ImportResult::Outcome::NoRecords:
        return Tell(context, context.Translate("no data file copied"));
    case ImportResult::Outcome::Imported: return Tell(context, context.Translate("Imported"));
    case ImportResult::Outcome::Incomplete: {
        QString text = context.Translate("Import incomplete");
        for (const ExchangeProblem& p : result.problems)
            text += "\n" + QDir::toNativeSeparators(p.file) + ": " + context.Translate(p.key);
        return Tell(context, text);
    }
    }
}

void HistoryPatientListDialog::Report(const AppContext& context,
                                      const std::vector<ObjectOutcome>& outcomes)
{
    QStringList lines;
    for (const ObjectOutcome& outcome : outcomes)
        lines << QString::fromStdString(DescribeOutcome(outcome, context.language));
    Tell(context, lines.join("\n"));
}

int HistoryPatientListDialog::RowCount() const
{
    return rows_->IsOpen() ? rows_->GetRecordCount() : 0;
}

void HistoryPatientListDialog::FillList()
{
    const int count = RowCount();
    list->setUpdatesEnabled(false);
    list->clearContents();
    list->setRowCount(0);
    if (count <= 0) {
        list->setUpdatesEnabled(true);
        SetViewedPatient(QString());
        return;
    }
    list->setRowCount(count);
    rows_->MoveFirst();
    int row = 0;
    QStringList foreign;
    for (PatientRecord patient; row < count && !rows_->IsEOF(); ++row, rows_->MoveNext()) {
        if (!ReadPatientRow(*rows_, patient))
            break;
        const QString folder = PatientDataFolder(patient.PatientID);
        const FolderCheckResult checked = CheckPatientFolder(folder, patient);
        if (const QString said = DescribeFolderCheck(checked, folder, context_.language); !said.isEmpty())
            foreign << said;
        const bool records = checked.check == FolderCheck::Own
                             && !ListRecords(folder.toStdString()).records.empty();
        const QString historyFile = records ? QDir(baseFolder).filePath(folder) + "/" : QString();
        list->setItem(row, kClinicalNoColumn, Cell(TrimRight(patient.ClinicalNo)));
        list->setItem(row, kNameColumn, Cell(TrimRight(patient.Name)));
        list->setItem(row, kSexColumn, Cell(Translate(patient.Sex != 0 ? "Female" : "Male")));
        list->setItem(row, kDateColumn, Cell(TrimRight(patient.NewDate)));
        list->setItem(row, kHistoryFileColumn, Cell(historyFile));
    }
    // Row n must stay recordset row n + 1, so a row that could not be read ends the list there.
    list->setRowCount(row);
    list->setUpdatesEnabled(true);
    if (row > 0) {
        list->setCurrentCell(0, 0);
        list->selectRow(0);
    }
    list->setFocus();
    if (!foreign.isEmpty())
        Tell(foreign.join("\n"));
}

void HistoryPatientListDialog::ShowList(const PatientQuery& query)
{
    const bool opened = OpenPatientList(*rows_, query);
    FillList();
    if (!opened)
        Tell(Translate("Search Record Error"));
}

bool HistoryPatientListDialog::MoveToRow(int row, QString& idText)
{
    if (row < 0 || row >= list->rowCount() || row >= RowCount())
        return false;
    return rows_->SetAbsolutePosition(row + 1) && rows_->GetCollect("PatientID", idText);
}

bool HistoryPatientListDialog::ListedPatient(int row, PatientRecord& patient)
{
    QString idText;
    if (!MoveToRow(row, idText) || !ReadPatientRow(*rows_, patient))
        return false;
    // The list may have stood open for long: the ID may have been deleted and handed on since.
    const PatientLookup found = FindPatient(idText);
    if (found.queryFailed) {
        Tell(Translate("Search Record Error"));
        return false;
    }
    if (!found.row || found.row->Isdel != 0 || !SamePatient(*found.row, patient)) {
        rows_->Requery(-1);
        FillList();
        Tell(Translate("Patient list changed"));
        return false;
    }
    const QString folder = PatientDataFolder(patient.PatientID);
    const FolderCheckResult checked = CheckPatientFolder(folder, patient);
    if (checked.check == FolderCheck::Own || checked.check == FolderCheck::Missing)
        return true;
    Tell(DescribeFolderCheck(checked, folder, context_.language));
    return false;
}

void HistoryPatientListDialog::OnQuery()
{
    ShowList(QueryPatientsStatement(nameFilter->text(), clinicalNoFilter->text()));
}

void HistoryPatientListDialog::OnDelete()
{
    if (list->rowCount() <= 0) {
        Tell(Translate("No Patient"));
        return;
    }
    if (context_.prompt.Show(Translate("Delete"), Translate("Delete Selected Rows, Are you sure ?"),
                             PromptIcon::Question, PromptButtons::YesNo) != PromptAnswer::Yes)
        return;

    QList<int> selected;
    for (const QModelIndex& index : list->selectionModel()->selectedRows())
        selected.append(index.row());
    std::sort(selected.begin(), selected.end());

    bool changed = false;
    for (int row : selected) {
        QString idText;
        PatientRecord patient;
        if (!MoveToRow(row, idText) || !ReadPatientRow(*rows_, patient))
            continue;
        switch (DeletePatient(patient)) {
        case DeleteOutcome::Deleted: emit patientDeleted(idText); break;
        case DeleteOutcome::NotSamePatient: changed = true; continue;
        case DeleteOutcome::Recording: Tell(Translate("Recording of this patient in progress")); break;
        case DeleteOutcome::Failed: Tell(Translate("Delete Fail")); break;
        }
        if (idText == viewedPatientId_) {
            SetViewedPatient(QString());
            emit recordPathChanged(QString());
            emit headerCleared();
        }
    }
    rows_->Requery(-1);
    FillList();
    if (changed)
        Tell(Translate("Patient list changed"));
}

void HistoryPatientListDialog::OnView()
{
    PatientRecord patient;
    if (!ListedPatient(list->currentRow(), patient))
        return;

    const QString idText = QString::number(patient.PatientID);
    RecordListDialog records(context_, this);
    records.patientId = idText;
    const int chosen = records.exec();
    if (records.recordPath)
        emit recordPathChanged(*records.recordPath);
    if (chosen != QDialog::Accepted)
        return;

    SetViewedPatient(idText);
    emit patientViewed(patient);
    accept();
}

void HistoryPatientListDialog::OnExport()
{
    if (list->rowCount() <= 0) {
        Tell(Translate("No Patient"));
        return;
    }
    const QString destination = context_.prompt.ChooseFolder(Translate("Export to:"));
    if (destination.isEmpty())
        return;
    PatientRecord patient;
    if (!ListedPatient(list->currentRow(), patient))
        return;
    Report(context_, ExportPatient(patient.PatientID, destination));
}

void HistoryPatientListDialog::OnImport()
{
    const QString folder = context_.prompt.ChooseFolder(Translate("Import from:"));
    if (folder.isEmpty())
        return;
    const ImportResult imported = ImportPatient(folder);
    Report(context_, imported);
    if (imported.id) {
        ShowList(LivePatientsStatement());
    }
}

void HistoryPatientListDialog::OnSendToPacs()
{
    if (!sendAction || !sendAction->isEnabled())
        return;
    PatientRecord row;
    if (list->currentRow() < 0) {
        Tell(Translate("No Patient"));
        return;
    }
    if (!ListedPatient(list->currentRow(), row))
        return;
    const QDir folder(PatientDataFolder(row.PatientID));
    std::vector<std::string> names = ListRecords(folder.path().toStdString()).records;
    if (names.empty()) {
        Tell(Translate("No data!"));
        return;
    }
    std::sort(names.begin(), names.end());
    // The order is read here: the database is the window's thread's alone.
    const OrderLookup order = FindPatientOrder(row.PatientID);
    if (order.queryFailed) {
        Tell(Translate("Search Record Error"));
        return;
    }
    QStringList records;
    for (const std::string& name : names)
        records << folder.absoluteFilePath(QString::fromStdString(name));
    emit sendRequested(row, DicomPatientFromRow(row, order.order), records);
}

void HistoryPatientListDialog::AllowSend(bool allowed)
{
    if (sendAction)
        sendAction->setEnabled(allowed);
}

void HistoryPatientListDialog::OnClose()
{
    reject();
}
