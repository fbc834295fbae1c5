#include "dialogs/ReadingDialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cmath>

#include "dialogs/LeadSheet.h"
#include "dialogs/Prompt.h"
#include "report/ReportRecord.h"

namespace {

// The values as the measurement panel names them, with their units.
constexpr std::array<const char*, kReadingValueCount> kValueNames = {
    "HR [bpm]", "P [ms]", "PR [ms]", "QRS [ms]", "QT [ms]", "QTc [ms]",
    "P axis [deg]", "QRS axis [deg]", "T axis [deg]"};

bool IsAxis(int value)
{
    return value >= kValuePAxis;
}

// A value as the reader reads and types it: axes in degrees with one decimal, the rest whole.
QString ValueText(int value, int32_t stored)
{
    return IsAxis(value) ? QString::number(stored / 10.0, 'f', 1) : QString::number(stored);
}

int32_t MachineValue(const MeasurementSet& m, int value)
{
    const float axes[] = {m.pAxis, m.qrsAxis, m.tAxis};
    const int32_t values[] = {m.heartRate, m.pDuration, m.pr, m.qrs, m.qt, m.qtc};
    return IsAxis(value) ? static_cast<int32_t>(std::lround(axes[value - kValuePAxis])) : values[value];
}

const char* ProblemKey(ReadingProblem problem)
{
    switch (problem) {
    case ReadingProblem::NoReader: return "No user is logged in at this station.";
    case ReadingProblem::TooManyStatements: return "A reading holds at most seven statements.";
    case ReadingProblem::CommentTooLong: return "The comment is longer than 1000 characters.";
    case ReadingProblem::ReasonMissing: return "An amendment needs its reason.";
    case ReadingProblem::ReasonTooLong: return "The reason is longer than 200 characters.";
    case ReadingProblem::NameTooLong: return "The printed name is longer than 64 characters.";
    case ReadingProblem::BadValue:
    case ReadingProblem::BadStatement: return "A corrected value is not valid.";
    case ReadingProblem::Valid: break;
    }
    return nullptr;
}

QString Utf8(const std::string& text)
{
    return QString::fromStdString(text);
}

}  // namespace

QString ReadingDialog::StationFile(const AppSettings& settings)
{
    return QFileInfo(settings.configPath).dir().filePath("Station.ini");
}

ReadingDialog::ReadingDialog(const AppContext& context, const QString& recordPath, QWidget* parent)
    : QDialog(parent), context_(context), path_(recordPath), user_(CurrentStationUser())
{
    setWindowTitle(Translate("Reading of the record"));
    sheet = new LeadSheet(this);
    auto* sheetArea = new QScrollArea(this);
    sheetArea->setWidget(sheet);
    sheetArea->setWidgetResizable(false);

    readerLabel = new QLabel(this);
    readerLabel->setTextFormat(Qt::PlainText);
    versionList = new QComboBox(this);
    auto* values = new QGridLayout;
    values->addWidget(new QLabel(Translate("Machine"), this), 0, 1);
    values->addWidget(new QLabel(Translate("Corrected"), this), 0, 2);
    for (int i = 0; i < kReadingValueCount; ++i) {
        machineValues[i] = new QLabel(this);
        valueEdits[i] = new QLineEdit(this);
        valueEdits[i]->setMaxLength(8);
        values->addWidget(new QLabel(kValueNames[i], this), i + 1, 0);
        values->addWidget(machineValues[i], i + 1, 1);
        values->addWidget(valueEdits[i], i + 1, 2);
    }
    statementList = new QListWidget(this);
    removeButton = new QPushButton(Translate("Remove"), this);
    catalogueFilter = new QLineEdit(this);
    catalogueFilter->setPlaceholderText(Translate("Search the catalogue"));
    catalogueList = new QListWidget(this);
    for (const ReadingStatement& s : StatementCatalogue()) {
        auto* item = new QListWidgetItem(Utf8(ReadingStatementText(s, context_.language)), catalogueList);
        item->setData(Qt::UserRole, s.code);
        item->setData(Qt::UserRole + 1, s.lead);
    }
    addButton = new QPushButton(Translate("Add"), this);
    commentEdit = new QPlainTextEdit(this);
    commentCount = new QLabel(this);
    reasonEdit = new QLineEdit(this);
    printedNameEdit = new QLineEdit(this);
    printedNameEdit->setText(Utf8(RememberedPrintedName(StationFile(context_.settings).toStdString(), user_.login)));
    amendButton = new QPushButton(Translate("Amend"), this);
    confirmButton = new QPushButton(Translate("Confirm"), this);
    closeButton = new QPushButton(Translate("Close"), this);

    auto* statements = new QHBoxLayout;
    statements->addWidget(statementList, 1);
    statements->addWidget(removeButton, 0, Qt::AlignTop);
    auto* catalogue = new QHBoxLayout;
    catalogue->addWidget(catalogueFilter, 1);
    catalogue->addWidget(addButton);
    auto* form = new QFormLayout;
    form->addRow(Translate("Reader"), readerLabel);
    form->addRow(Translate("Version"), versionList);
    form->addRow(Translate("Printed name"), printedNameEdit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {amendButton, confirmButton, closeButton})
        buttons->addWidget(b);
    auto* side = new QVBoxLayout;
    side->addLayout(form);
    side->addLayout(values);
    side->addWidget(new QLabel(Translate("Statements"), this));
    side->addLayout(statements);
    side->addLayout(catalogue);
    side->addWidget(catalogueList);
    side->addWidget(new QLabel(Translate("Comment"), this));
    side->addWidget(commentEdit);
    side->addWidget(commentCount);
    side->addWidget(new QLabel(Translate("Reason"), this));
    side->addWidget(reasonEdit);
    side->addLayout(buttons);
    auto* all = new QHBoxLayout(this);
    all->addWidget(sheetArea, 3);
    all->addLayout(side, 2);

    connect(confirmButton, &QPushButton::clicked, this, &ReadingDialog::OnConfirm);
    connect(amendButton, &QPushButton::clicked, this, &ReadingDialog::OnAmend);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(addButton, &QPushButton::clicked, this, &ReadingDialog::OnAddStatement);
    connect(catalogueList, &QListWidget::itemDoubleClicked, this, &ReadingDialog::OnAddStatement);
    connect(removeButton, &QPushButton::clicked, this, &ReadingDialog::OnRemoveStatement);
    connect(catalogueFilter, &QLineEdit::textChanged, this, &ReadingDialog::OnFilter);
    connect(commentEdit, &QPlainTextEdit::textChanged, this, &ReadingDialog::UpdateCommentCount);
    connect(versionList, &QComboBox::activated, this, &ReadingDialog::OnVersionChosen);

    // The reader is who the system says is logged in; nothing here can make it anyone else.
    const QString who = user_.fullName.empty() ? Utf8(user_.login)
                                               : Utf8(user_.fullName + " (" + user_.login + ")");
    readerLabel->setText(who + " @ " + Utf8(user_.station));
    loaded_ = Load();
}

void ReadingDialog::Tell(const QString& text)
{
    context_.prompt.Show(Translate("Reading of the record"), text, PromptIcon::Exclamation, PromptButtons::Ok);
}

bool ReadingDialog::Load()
{
    const RecordKeyLookup found = FindRecordKey(path_);
    switch (found.outcome) {
    case RecordKeyLookup::Outcome::Found: break;
    case RecordKeyLookup::Outcome::NoPatient:
        Tell(Translate("This record belongs to no patient and cannot be confirmed."));
        return false;
    case RecordKeyLookup::Outcome::QueryFailed: Tell(Translate("Search Record Error")); return false;
    case RecordKeyLookup::Outcome::NoRow: Tell(Translate("The Patient is not exist!")); return false;
    case RecordKeyLookup::Outcome::NotRecord:
        Tell(Translate("This record is damaged and cannot be confirmed."));
        return false;
    }
    key_ = found.key;
    // Read at 25 mm/s, as the sheet shows it.
    ReportRecord record = ReadReportRecord(path_, 1, context_.language);
    if (record.outcome != RecordReadOutcome::Read || record.summary.firstLine > 9) {
        Tell(Translate("This record is damaged and cannot be confirmed."));
        return false;
    }
    const std::optional<std::vector<Reading>> versions = LoadReadings(key_);
    if (!versions) {
        Tell(Translate("Search Record Error"));
        return false;
    }
    versions_ = *versions;
    sheet->SetContent(record.content);
    machine_ = record.summary.machine;
    machineMeasurements_ = record.summary.measurements;
    for (int i = 0; i < kReadingValueCount; ++i) {
        const int32_t v = MachineValue(machineMeasurements_, i);
        machineValues[i]->setText(v ? ValueText(i, v) : QString("- - "));
    }
    FillVersions();
    const bool confirmed = !versions_.empty() && versions_.back().version > 0;
    basedOn_ = confirmed ? versions_.back().version : 0;
    Show(confirmed ? versions_.back() : machine_);
    SetEditing(!confirmed);
    return true;
}

void ReadingDialog::FillVersions()
{
    versionList->clear();
    versionList->addItem(Translate("Machine"));
    for (const Reading& r : versions_) {
        if (r.version == 0)
            continue;
        const char* key = r.version == 1 ? "Confirmed by" : "Amended by";
        versionList->addItem(QString::number(r.version) + ". " + Translate(key) + " " + Utf8(ReaderLine(r)));
    }
    versionList->setCurrentIndex(versionList->count() - 1);
}

void ReadingDialog::Show(const Reading& reading)
{
    statementList->clear();
    for (const ReadingStatement& s : reading.statements)
        AddStatementItem(s);
    for (int i = 0; i < kReadingValueCount; ++i)
        valueEdits[i]->setText(reading.values[i] ? ValueText(i, *reading.values[i]) : QString());
    commentEdit->setPlainText(Utf8(reading.comment));
    reasonEdit->setText(Utf8(reading.reason));
}

void ReadingDialog::SetEditing(bool editing)
{
    for (QLineEdit* edit : valueEdits)
        edit->setReadOnly(!editing);
    for (QWidget* w : std::initializer_list<QWidget*>{removeButton, addButton, catalogueFilter, catalogueList})
        w->setEnabled(editing);
    commentEdit->setReadOnly(!editing);
    // The first confirmation has no reason to give; an amendment must.
    reasonEdit->setReadOnly(!editing || basedOn_ == 0);
    versionList->setEnabled(!editing);
    confirmButton->setEnabled(editing);
    amendButton->setEnabled(!editing && basedOn_ > 0);
    UpdateCommentCount();
}

void ReadingDialog::OnVersionChosen(int index)
{
    std::vector<const Reading*> shown{&machine_};
    for (const Reading& r : versions_)
        if (r.version > 0)
            shown.push_back(&r);
    if (index >= 0 && index < static_cast<int>(shown.size()))
        Show(*shown[index]);
}

void ReadingDialog::OnAmend()
{
    if (basedOn_ == 0)
        return;
    Show(versions_.back());
    reasonEdit->clear();
    SetEditing(true);
    reasonEdit->setFocus();
}

void ReadingDialog::AddStatementItem(const ReadingStatement& s)
{
    auto* item = new QListWidgetItem(Utf8(ReadingStatementText(s, context_.language)), statementList);
    item->setData(Qt::UserRole, s.code);
    item->setData(Qt::UserRole + 1, s.lead);
}

void ReadingDialog::OnAddStatement()
{
    const QListWidgetItem* chosen = catalogueList->currentItem();
    if (!chosen || !addButton->isEnabled())
        return;
    if (statementList->count() >= kMaxReadingStatements) {
        Tell(Translate("A reading holds at most seven statements."));
        return;
    }
    AddStatementItem({chosen->data(Qt::UserRole).toInt(), chosen->data(Qt::UserRole + 1).toInt()});
}

void ReadingDialog::OnRemoveStatement()
{
    if (removeButton->isEnabled())
        delete statementList->currentItem();
}

void ReadingDialog::OnFilter(const QString& text)
{
    for (int i = 0; i < catalogueList->count(); ++i)
        catalogueList->item(i)->setHidden(!catalogueList->item(i)->text().contains(text, Qt::CaseInsensitive));
}

void ReadingDialog::UpdateCommentCount()
{
    const qsizetype length = commentEdit->toPlainText().toUcs4().size();
    commentCount->setText(QString("%1 / %2").arg(length).arg(kMaxCommentLength));
}

std::optional<Reading> ReadingDialog::Typed()
{
    Reading r;
    r.version = basedOn_ + 1;
    for (int i = 0; i < statementList->count(); ++i) {
        const QListWidgetItem* item = statementList->item(i);
        r.statements.push_back({item->data(Qt::UserRole).toInt(), item->data(Qt::UserRole + 1).toInt()});
    }
    for (int i = 0; i < kReadingValueCount; ++i) {
        const QString text = valueEdits[i]->text().trimmed();
        if (text.isEmpty())
            continue;
        bool number = false;
        const double v = text.toDouble(&number);
        const double stored = IsAxis(i) ? std::round(v * 10) : v;
        if (!number || !std::isfinite(v) || stored != std::trunc(stored) || stored < kReadingValueLimits[i].min ||
            stored > kReadingValueLimits[i].max) {
            Tell(Translate("A corrected value is not valid.") + "\n" + kValueNames[i] + ": " + text);
            valueEdits[i]->setFocus();
            return std::nullopt;
        }
        r.values[i] = static_cast<int32_t>(stored);
    }
    r.comment = CleanReadingText(commentEdit->toPlainText().toStdString());
    r.reason = CleanReadingText(reasonEdit->text().toStdString());
    r.readerLogin = user_.login;
    r.readerName = CleanReadingText(user_.fullName);
    r.printedName = CleanReadingText(printedNameEdit->text().toStdString());
    r.station = user_.station;
    if (const char* key = ProblemKey(CheckReading(r))) {
        Tell(Translate(key));
        return std::nullopt;
    }
    return r;
}

void ReadingDialog::OnConfirm()
{
    if (!confirmButton->isEnabled())
        return;
    const std::optional<Reading> typed = Typed();
    if (!typed)
        return;
    const ConfirmResult result = ConfirmReading(key_, machine_, basedOn_, *typed);
    switch (result.outcome) {
    case ConfirmOutcome::Confirmed:
        RememberPrintedName(StationFile(context_.settings).toStdString(), user_.login, typed->printedName);
        emit readingStored(result.reading);
        accept();
        return;
    case ConfirmOutcome::Conflict: {
        // Another station was first: its version stands, and what this reader typed stays in
        // the editors to be stored as an amendment.
        QStringList said{Translate("Confirmed meanwhile by") + " " + Utf8(ReaderLine(result.reading))};
        for (const ReadingStatement& s : result.reading.statements)
            said << Utf8(ReadingStatementText(s, context_.language));
        said << QString() << Translate("Your reading is kept: give a reason and amend.");
        if (const std::optional<std::vector<Reading>> versions = LoadReadings(key_))
            versions_ = *versions;
        else
            versions_.push_back(result.reading);
        basedOn_ = result.reading.version;
        FillVersions();
        SetEditing(true);
        reasonEdit->setFocus();
        Tell(said.join("\n"));
        return;
    }
    case ConfirmOutcome::Invalid: Tell(Translate(ProblemKey(result.problem))); return;
    case ConfirmOutcome::Failed: Tell(Translate("save error")); return;
    }
}
