#include "dialogs/PatientInfoDialog.h"

#include <QComboBox>
#include <algorithm>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QValidator>
#include <QVBoxLayout>

#include "dialogs/Prompt.h"
#include "dialogs/WorklistDialog.h"
#include "db/PatientStore.h"
#include "dicom/WorklistQuery.h"

namespace {

// Holds a one-line box to its byte limit for typed and pasted text alike: what does not fit is
// cut from the end of the inserted text, which ends at the cursor, so the earlier text stays.
class EntryLimitValidator : public QValidator {
public:
    EntryLimitValidator(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}

    State validate(QString& input, int& pos) const override
    {
        pos = std::clamp(pos, 0, int(input.size()));
        while (EntryByteLength(input) > limit_ && pos > 0) {
            const int width = pos >= 2 && input[pos - 1].isLowSurrogate() &&
                                      input[pos - 2].isHighSurrogate()
                                  ? 2
                                  : 1;
            input.remove(pos - width, width);
            pos -= width;
        }
        while (EntryByteLength(input) > limit_)
            input.chop(input.size() >= 2 && input.back().isLowSurrogate() ? 2 : 1);
        return Acceptable;
    }

private:
    int limit_;
};

QLineEdit* LimitedEdit(const QString& text, int limit, QWidget* parent)
{
    auto* edit = new QLineEdit(text, parent);
    edit->setValidator(new EntryLimitValidator(limit, edit));
    return edit;
}

}  // namespace

PatientInfoDialog::PatientInfoDialog(const AppContext& context, bool portOpen, QWidget* parent)
    : QDialog(parent), context_(context), portOpen_(portOpen)
{
    setWindowTitle(Translate("PatientInfo"));

    clinicalNoEdit = LimitedEdit("00000000", kClinicalNoEntryLimit, this);
    nameEdit = LimitedEdit(QString(), kNameEntryLimit, this);
    ageEdit = new QLineEdit("20", this);
    heightEdit = new QLineEdit("170", this);
    weightEdit = new QLineEdit("100", this);
    bloodList = new QComboBox(this);
    bloodList->addItems({"A", "B", "AB", "O"});
    bloodList->setCurrentIndex(0);
    sexList = new QComboBox(this);
    sexList->addItems({Translate("MALE"), Translate("FEMALE")});
    sexList->setCurrentIndex(0);
    otherEdit = new QPlainTextEdit(this);
    otherEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    otherEdit->setTabChangesFocus(true);
    connect(otherEdit->document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { HoldNoteToLimit(position, added); });
    okButton = new QPushButton(Translate("OK"), this);
    okButton->setDefault(true);
    cancelButton = new QPushButton(Translate("Cancel"), this);
    connect(okButton, &QPushButton::clicked, this, &PatientInfoDialog::OnOK);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    orderLabel = new QLabel(this);
    worklist_ = ReadDicomSettings(context_.settings.configPath.toStdString()).worklist;
    if (worklist_) {
        worklistButton = new QPushButton(Translate("Worklist"), this);
        connect(worklistButton, &QPushButton::clicked, this, &PatientInfoDialog::OnWorklist);
        // Another ID is another patient: the order does not go with it.
        connect(clinicalNoEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
            if (order_ && text != order_->patientId)
                Untie();
        });
    }

    auto label = [this](const char* key) { return new QLabel(Translate(key), this); };

    auto* identity = new QGroupBox(this);
    auto* identityGrid = new QGridLayout(identity);
    identityGrid->addWidget(label("Clinical NO."), 0, 0);
    identityGrid->addWidget(clinicalNoEdit, 0, 1);
    identityGrid->addWidget(label("Name"), 1, 0);
    identityGrid->addWidget(nameEdit, 1, 1);
    if (worklistButton)
        identityGrid->addWidget(worklistButton, 0, 2);
    identityGrid->addWidget(orderLabel, 2, 1);

    auto* body = new QGroupBox(this);
    auto* bodyGrid = new QGridLayout(body);
    bodyGrid->addWidget(label("Age"), 0, 0);
    bodyGrid->addWidget(ageEdit, 0, 1);
    bodyGrid->addWidget(label("Sex"), 0, 3);
    bodyGrid->addWidget(sexList, 0, 4);
    bodyGrid->addWidget(label("Height"), 1, 0);
    bodyGrid->addWidget(heightEdit, 1, 1);
    bodyGrid->addWidget(label("Blood"), 1, 3);
    bodyGrid->addWidget(bloodList, 1, 4);
    bodyGrid->addWidget(label("Weight"), 2, 0);
    bodyGrid->addWidget(weightEdit, 2, 1);
    bodyGrid->setColumnStretch(2, 1);
    for (QLineEdit* number : {ageEdit, heightEdit, weightEdit})
        number->setFixedWidth(80);

    auto* note = new QGroupBox(this);
    auto* noteGrid = new QGridLayout(note);
    noteGrid->addWidget(label("Other"), 0, 0, Qt::AlignTop);
    noteGrid->addWidget(otherEdit, 0, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(identity);
    layout->addWidget(body);
    layout->addWidget(note);
    layout->addLayout(buttons);

    setTabOrder(clinicalNoEdit, nameEdit);
    setTabOrder(nameEdit, ageEdit);
    setTabOrder(ageEdit, heightEdit);
    setTabOrder(heightEdit, weightEdit);
    setTabOrder(weightEdit, bloodList);
    setTabOrder(bloodList, sexList);
    setTabOrder(sexList, otherEdit);
    setTabOrder(otherEdit, okButton);
    setTabOrder(okButton, cancelButton);
    resize(448, 400);
}

QString PatientInfoDialog::OtherText() const
{
    return otherEdit->toPlainText().replace('\n', "\r\n");
}

void PatientInfoDialog::HoldNoteToLimit(int position, int added)
{
    if (trimmingNote_ || EntryByteLength(OtherText()) <= kOtherEntryLimit)
        return;
    // Cut from the end of what was just inserted, one character at a time, until it fits; an
    // inserted line break counts as the two bytes it is stored as.
    trimmingNote_ = true;
    QTextCursor cursor(otherEdit->document());
    // The count of added characters may include the document's closing block separator.
    int end = std::min(position + added, otherEdit->document()->characterCount() - 1);
    while (end > position && EntryByteLength(OtherText()) > kOtherEntryLimit) {
        cursor.setPosition(end);
        cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
        const int before = cursor.selectionStart();
        cursor.removeSelectedText();
        end = before;
    }
    trimmingNote_ = false;
}

bool PatientInfoDialog::ReadNumber(QLineEdit* edit, int min, int max, int32_t& value)
{
    bool ok = false;
    const long long n = edit->text().trimmed().toLongLong(&ok);
    if (ok && n >= min && n <= max) {
        value = static_cast<int32_t>(n);
        return true;
    }
    // The framework's own range prompt: not one of the program's texts, so it is not translated.
    context_.prompt.Show(Translate("Corvida"),
                           ok ? QString("Please enter an integer between %1 and %2.").arg(min).arg(max)
                              : QString("Please enter an integer."),
                         PromptIcon::Exclamation, PromptButtons::Ok);
    edit->setFocus();
    edit->selectAll();
    return false;
}

void PatientInfoDialog::OnOK()
{
    if (!portOpen_) {
        context_.prompt.Show(Translate("Corvida"), Translate("Please Check the port setting!"),
                             PromptIcon::None, PromptButtons::Ok);
        return;
    }
    // The numbers are checked in the order the fields are exchanged. The texts need no check: their
    // boxes hold them to their limits whichever way the text arrives.
    PatientRecord facts;
    facts.ClinicalNo = clinicalNoEdit->text();
    facts.Name = nameEdit->text();
    facts.Blood = std::max(0, bloodList->currentIndex());
    facts.Sex = std::max(0, sexList->currentIndex());
    facts.Other = OtherText();
    if (!ReadNumber(ageEdit, 0, 3000, facts.Age) || !ReadNumber(heightEdit, 0, 3000, facts.Height) ||
        !ReadNumber(weightEdit, 0, 2000, facts.Weight))
        return;
    // A worklist that names no sex leaves the choice to the user.
    if (sexList->currentIndex() < 0) {
        context_.prompt.Show(Translate("Corvida"), Translate("Please choose the sex."),
                             PromptIcon::Exclamation, PromptButtons::Ok);
        sexList->setFocus();
        return;
    }

    const StoreResult stored =
        StorePatient(facts, QDateTime::currentDateTime(), order_ ? &*order_ : nullptr);
    if (!stored.Stored()) {
        // A failed take-over of a deleted row is a failed save here too.
        const char* key = StoreFailureKey(stored.outcome);
        context_.prompt.Show(Translate("PatientInfo"), Translate(key ? key : "save error"),
                             PromptIcon::Exclamation, PromptButtons::Ok);
        return;
    }
    storedId_ = stored.id;
    facts.PatientID = stored.id;
    facts.NewDate = stored.newDate;
    accept();
    emit patientCreated(stored.id, facts);
}

void PatientInfoDialog::OnWorklist()
{
    auto* list = new WorklistDialog(context_, *worklist_, this);
    list->setAttribute(Qt::WA_DeleteOnClose);
    connect(list, &WorklistDialog::entryChosen, this, &PatientInfoDialog::FillFromWorklist);
    list->open();
}

void PatientInfoDialog::FillFromWorklist(const WorklistEntry& e)
{
    auto text = [](const std::string& s) { return QString::fromStdString(s); };
    PatientOrder order{text(e.accessionNumber), text(e.requestedProcedureId),
                       text(e.requestedProcedureDescription), text(e.scheduledStepId),
                       text(e.studyInstanceUid), text(e.patientId), text(e.issuerOfPatientId),
                       text(e.patientName), text(e.patientSex), text(e.patientBirthDate)};
    order_.reset();
    clinicalNoEdit->setText(order.patientId);
    nameEdit->setText(text(ReadableName(e.patientName)));
    // What the worklist does not say is left for the user to enter, never guessed.
    sexList->setCurrentIndex(e.patientSex == "M" ? 0 : e.patientSex == "F" ? 1 : -1);
    const int age = AgeOn(e.patientBirthDate, LocalToday());
    ageEdit->setText(age < 0 ? QString() : QString::number(age));
    orderLabel->setText(Translate("Accession No.") + ": " + order.accessionNumber + "  "
                        + order.requestedProcedureDescription);
    order_ = order;
}

void PatientInfoDialog::Untie()
{
    order_.reset();
    orderLabel->clear();
}
