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
#include <QThread>
#include <algorithm>

#include "dialogs/Prompt.h"
#include "db/AdoRecordSet.h"
#include "db/PatientStore.h"
#include "dicom/DicomExport.h"
#include "history/DicomPatientRow.h"
#include "history/PatientExchange.h"
#include "dialogs/RecordListDialog.h"
#include "report/ReportPdf.h"

namespace {

constexpr int kReportSpeedIndex = 1;  // 25 mm/s, the program's default print speed

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

bool DeleteRecordFiles(const QString& folder)
{
    const QFileInfoList matches = QDir(folder).entryInfoList(
        {"*.cv"}, QDir::Files | QDir::Dirs | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& match : matches) {
        if (match.isDir() && !match.isSymLink()) {
            if (!DeleteRecordFiles(match.filePath()))
                return false;
        } else if (!QFile::remove(match.filePath())) {
            return false;
        }
    }
    return true;
}

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
    for (PatientRecord patient; row < count && !rows_->IsEOF(); ++row, rows_->MoveNext()) {
        if (!ReadPatientRow(*rows_, patient))
            break;
        const QString folder = PatientDataFolder(patient.PatientID);
        const QString historyFile =
            RecordFileNames(folder).isEmpty() ? QString() : baseFolder + folder + "/";
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
}

void HistoryPatientListDialog::ShowList(const QString& statement)
{
    const bool opened = OpenPatientList(*rows_, statement);
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

    for (int row : selected) {
        QString idText;
        if (!MoveToRow(row, idText))
            continue;
        const int32_t id = idText.toInt();
        // The files go first: a patient whose records cannot all be removed stays live, so
        // nothing of it is lost from the list.
        if (!DeleteRecordFiles(PatientDataFolder(id) + "/") || !DeletePatient(id))
            Tell(Translate("Delete Fail"));
        else
            emit patientDeleted(idText);
        if (idText == viewedPatientId_) {
            SetViewedPatient(QString());
            emit recordPathChanged(QString());
            emit headerChanged(" ", " ");
        }
    }
    rows_->Requery(-1);
    FillList();
}

void HistoryPatientListDialog::OnView()
{
    const int row = list->currentRow();
    QString idText;
    if (!MoveToRow(row, idText))
        return;

    RecordListDialog records(context_.language, this);
    records.patientId = idText;
    const int chosen = records.exec();
    if (records.recordPath)
        emit recordPathChanged(*records.recordPath);
    if (chosen != QDialog::Accepted)
        return;

    PatientRecord patient;
    if (!MoveToRow(row, idText) || !ReadPatientRow(*rows_, patient))
        return;
    SetViewedPatient(idText);
    const QString line1 = QString("%1 - %2  %3 - %4  %5 - %6")
                              .arg(Translate("Name"), patient.Name, Translate("Clinical NO."),
                                   patient.ClinicalNo, Translate("Sex"),
                                   Translate(patient.Sex != 0 ? "FEMALE" : "MALE"));
    emit headerChanged(line1, QString());
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
    QString idText;
    if (!MoveToRow(list->currentRow(), idText))
        return;
    Report(context_, ExportPatient(idText.toInt(), destination));
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
    QString idText;
    PatientRecord row;
    if (!MoveToRow(list->currentRow(), idText) || !ReadPatientRow(*rows_, row)) {
        Tell(Translate("No Patient"));
        return;
    }
    const QDir folder(PatientDataFolder(idText.toInt()));
    QStringList names = RecordFileNames(folder.path());
    if (names.isEmpty()) {
        Tell(Translate("No data!"));
        return;
    }
    names.sort();
    std::vector<std::filesystem::path> records;
    for (const QString& name : names)
        records.push_back(folder.absoluteFilePath(name).toStdString());

    // The thread works on copies only (settings read afresh, the texts, the patient's row), so
    // neither the list nor a language change can touch it; the PACS timeouts bound its time.
    const DicomSettings settings = ReadDicomSettings(context_.settings.configPath.toStdString());
    auto outcomes = std::make_shared<std::vector<ObjectOutcome>>();
    QThread* sender = QThread::create(
        [outcomes, records, settings, row, texts = context_.language] {
            auto report = [&row, &texts](const std::filesystem::path& path, std::string& pdf) {
                const std::optional<QByteArray> data = ReportPdfData(
                    QString::fromStdString(path.string()), &row, kReportSpeedIndex, texts);
                if (data)
                    pdf = data->toStdString();
                return data.has_value();
            };
            *outcomes = SendRecords(records, DicomPatientFromRow(row), texts, settings, report);
        });
    sendAction->setEnabled(false);
    connect(sender, &QThread::finished, sender, &QObject::deleteLater);
    connect(sender, &QThread::finished, this, [this, outcomes] {
        sendAction->setEnabled(true);
        QStringList lines;
        for (const ObjectOutcome& outcome : *outcomes)
            lines << QString::fromStdString(DescribeOutcome(outcome, context_.language));
        Tell(lines.join("\n"));
        emit sendFinished();
    });
    sender->start();
}

void HistoryPatientListDialog::OnClose()
{
    reject();
}

void HistoryPatientListDialog::reject()
{
    // Close, Escape and the title bar's close all end here: reception resumes only if History
    // View suspended it.
    QDialog::reject();
    emit historyClosed();
}
