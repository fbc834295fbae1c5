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
#include "db/PatientStore.h"

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

    auto label = [this](const char* key) { return new QLabel(Translate(key), this); };

    auto* identity = new QGroupBox(this);
    auto* identityGrid = new QGridLayout(identity);
    identityGrid->addWidget(label("Clinical NO."), 0, 0);
    identityGrid->addWidget(clinicalNoEdit, 0, 1);
    identityGrid->addWidget(label("Name"), 1, 0);
    identityGrid->addWidget(nameEdit, 1, 1);

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

    const StoreResult stored = StorePatient(facts);
    if (!stored.Stored()) {
        // A failed take-over of a deleted row is a failed save here too.
        const char* key = StoreFailureKey(stored.outcome);
        context_.prompt.Show(Translate("PatientInfo"), Translate(key ? key : "save error"),
                             PromptIcon::Exclamation, PromptButtons::Ok);
        return;
    }
    storedId_ = stored.id;

    // Two blanks after the first dash: this line differs from the one the history list builds.
    const QString header = QString("%1 -  %2  %3 - %4  %5 - %6")
                               .arg(Translate("Name"), facts.Name, Translate("Clinical NO."),
                                    facts.ClinicalNo, Translate("Sex"),
                                    Translate(facts.Sex != 0 ? "FEMALE" : "MALE"));
    emit headerChanged(header, QString());
    accept();
    emit patientCreated(stored.id, facts);
}
