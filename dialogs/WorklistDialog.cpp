#include "dialogs/WorklistDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>
#include <memory>

#include "db/PatientRecord.h"
#include "dialogs/Prompt.h"

namespace {

QString Utf8(const std::string& text)
{
    return QString::fromStdString(text);
}

// "19600307" as "1960-03-07", "0930" or "093000.5" as "09:30"; anything else as it came.
QString DateShown(const std::string& date)
{
    return date.size() == 8 ? Utf8(date.substr(0, 4) + "-" + date.substr(4, 2) + "-" + date.substr(6, 2))
                            : Utf8(date);
}

QString TimeShown(const std::string& time)
{
    return time.size() >= 4 ? Utf8(time.substr(0, 2) + ":" + time.substr(2, 2)) : Utf8(time);
}

const char* FailureKey(WorklistStatus status)
{
    switch (status) {
    case WorklistStatus::Found: break;
    case WorklistStatus::Unreachable: return "The worklist cannot be reached.";
    case WorklistStatus::TimedOut: return "The worklist did not answer in time.";
    case WorklistStatus::Refused: return "The worklist refused the connection.";
    case WorklistStatus::Broken: return "The connection to the worklist broke off.";
    case WorklistStatus::NotOffered: return "The server offers no modality worklist.";
    case WorklistStatus::Failed: return "The worklist could not answer the query.";
    }
    return nullptr;
}

enum Column { kName, kPatientId, kSex, kBirthDate, kAge, kAccession, kProcedure, kScheduled, kColumns };

}  // namespace

WorklistDialog::WorklistDialog(const AppContext& context, const WorklistSettings& settings, QWidget* parent)
    : QDialog(parent), context_(context)
{
    setWindowTitle(Translate("Worklist"));
    filterEdit = new QLineEdit(this);
    filterEdit->setPlaceholderText(Translate("Name") + " / " + Translate("Patient ID"));
    list = new QTableWidget(0, kColumns, this);
    list->setHorizontalHeaderLabels({Translate("Name"), Translate("Patient ID"), Translate("Sex"),
                                     Translate("Birth date"), Translate("Age"), Translate("Accession No."),
                                     Translate("Procedure"), Translate("Scheduled")});
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    list->horizontalHeader()->setStretchLastSection(true);
    statusLabel = new QLabel(Translate("Asking the worklist ..."), this);
    chooseButton = new QPushButton(Translate("OK"), this);
    chooseButton->setDefault(true);
    chooseButton->setEnabled(false);
    cancelButton = new QPushButton(Translate("Cancel"), this);
    connect(filterEdit, &QLineEdit::textChanged, this, &WorklistDialog::OnFilter);
    connect(list, &QTableWidget::cellDoubleClicked, this, &WorklistDialog::OnChoose);
    connect(chooseButton, &QPushButton::clicked, this, &WorklistDialog::OnChoose);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(statusLabel, 1);
    buttons->addWidget(chooseButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filterEdit);
    layout->addWidget(list);
    layout->addLayout(buttons);
    resize(900, 480);

    // The thread has its own copies; the dialog may be gone when it ends, and then its answer is
    // dropped with the connection.
    auto answer = std::make_shared<WorklistAnswer>();
    QThread* query = QThread::create([answer, settings, today = LocalToday()] {
        *answer = QueryWorklist(settings, today);
    });
    connect(query, &QThread::finished, query, &QObject::deleteLater);
    connect(query, &QThread::finished, this, [this, answer] { OnAnswer(*answer); });
    query->start();
}

void WorklistDialog::Tell(const QString& text)
{
    context_.prompt.Show(Translate("Worklist"), text, PromptIcon::Exclamation, PromptButtons::Ok);
}

void WorklistDialog::OnAnswer(const WorklistAnswer& answer)
{
    if (const char* key = FailureKey(answer.status)) {
        QString text = Translate(key);
        if (!answer.detail.empty())
            text += " (" + Utf8(answer.detail) + ")";
        Tell(text + "\n" + Translate("Type the patient by hand."));
        reject();
        return;
    }
    if (answer.unreadable > 0)
        Tell(Translate("Some entries of the worklist cannot be read and are not listed."));
    if (answer.entries.empty()) {
        Tell(Translate("The worklist holds no step scheduled for this station.") + "\n"
             + Translate("Type the patient by hand."));
        reject();
        return;
    }
    entries_ = answer.entries;
    const std::tm today = LocalToday();
    list->setRowCount(static_cast<int>(entries_.size()));
    for (int row = 0; row < list->rowCount(); ++row) {
        const WorklistEntry& e = entries_[row];
        const int age = AgeOn(e.patientBirthDate, today);
        const QString texts[kColumns] = {
            Utf8(ReadableName(e.patientName)), Utf8(e.patientId), Utf8(e.patientSex),
            DateShown(e.patientBirthDate), age < 0 ? QString() : QString::number(age),
            Utf8(e.accessionNumber), Utf8(e.requestedProcedureDescription),
            (DateShown(e.scheduledDate) + " " + TimeShown(e.scheduledTime)).trimmed()};
        for (int column = 0; column < kColumns; ++column)
            list->setItem(row, column, new QTableWidgetItem(texts[column]));
    }
    list->resizeColumnsToContents();
    statusLabel->clear();
    chooseButton->setEnabled(true);
    OnFilter(filterEdit->text());
}

void WorklistDialog::OnFilter(const QString& text)
{
    int first = -1;
    for (int row = 0; row < list->rowCount(); ++row) {
        const bool shown = list->item(row, kName)->text().contains(text, Qt::CaseInsensitive)
                           || list->item(row, kPatientId)->text().contains(text, Qt::CaseInsensitive);
        list->setRowHidden(row, !shown);
        if (shown && first < 0)
            first = row;
    }
    if (first >= 0 && (list->currentRow() < 0 || list->isRowHidden(list->currentRow())))
        list->selectRow(first);
}

void WorklistDialog::OnChoose()
{
    const int row = list->currentRow();
    if (row < 0 || row >= static_cast<int>(entries_.size()) || list->isRowHidden(row))
        return;
    const WorklistEntry& e = entries_[row];
    // Cut to fit, a name or ID would name another patient: it is refused, never shortened.
    if (EntryByteLength(Utf8(ReadableName(e.patientName))) > kNameEntryLimit
        || EntryByteLength(Utf8(e.patientId)) > kClinicalNoEntryLimit) {
        Tell(Translate("The name or patient ID of this entry is longer than the patient table holds.") + "\n"
             + Translate("Type the patient by hand."));
        return;
    }
    emit entryChosen(e);
    accept();
}
