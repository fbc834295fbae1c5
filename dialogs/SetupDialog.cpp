#include "dialogs/SetupDialog.h"

#include <QComboBox>
#include <cstring>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "foundation/ProfileFile.h"
#include "dialogs/Prompt.h"

bool SetupDialog::languageChanged = false;

namespace {

const int kBauds[] = {4800, 9600, 19200, 38400, 57600, 115200};
const int kDataBits[] = {5, 6, 7, 8};
const int kStopBits[] = {1, 2};
const char kParities[] = "NOES";
const char* const kLabelKeys[] = {"Com", "Baud", "Parity", "DataBit", "StopBit", "RT Speed",
                                  "Print Speed", "Language"};

template <size_t N>
int IndexOf(const int (&table)[N], int value)
{
    for (size_t i = 0; i < N; ++i)
        if (table[i] == value)
            return static_cast<int>(i);
    return -1;
}

}  // namespace

bool SetupDialog::WriteSetting(const char* section, const QString& value)
{
    return WriteProfileString(context_.settings.configPath.toStdString(), section, "Path",
                              value.toStdString());
}

SetupDialog::SetupDialog(const AppContext& context, const RunSettings& current, QWidget* parent)
    : QDialog(parent),
      portNumber(current.portNumber),
      baudRate(current.baudRate),
      parity(current.parity),
      dataBits(current.dataBits),
      stopBits(current.stopBits),
      speedIndex(current.speedIndex),
      printSpeedIndex(current.printSpeedIndex),
      context_(context)
{

    auto list = [this](const QStringList& items) {
        auto* box = new QComboBox(this);
        box->addItems(items);
        return box;
    };
    QStringList ports;
    for (int i = 1; i <= 50; ++i)
        ports << QString("COM%1").arg(i);
    const QStringList speeds = {"12.5 mm/s", "25 mm/s", "50 mm/s"};
    portList = list(ports);
    baudList = list({"4800", "9600", "19200", "38400", "57600", "115200"});
    parityList = list({});
    dataBitList = list({"5", "6", "7", "8"});
    stopBitList = list({"1", "2"});
    speedList = list(speeds);
    printSpeedList = list(speeds);
    languageList = list({});
    for (QLabel*& label : labels_)
        label = new QLabel(this);

    // Port settings at the top, the two speeds in the middle, the language at the bottom.
    auto group = [this](std::initializer_list<std::pair<QLabel*, QComboBox*>> rows) {
        auto* box = new QGroupBox(this);
        auto* grid = new QGridLayout(box);
        int r = 0;
        for (const auto& [label, combo] : rows) {
            grid->addWidget(label, r, 0);
            grid->addWidget(combo, r++, 1);
        }
        return box;
    };
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group({{labels_[0], portList}, {labels_[1], baudList}, {labels_[2], parityList},
                             {labels_[3], dataBitList}, {labels_[4], stopBitList}}));
    layout->addWidget(group({{labels_[5], speedList}, {labels_[6], printSpeedList}}));
    layout->addWidget(group({{labels_[7], languageList}}));
    okButton = new QPushButton(this);
    cancelButton = new QPushButton(this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &SetupDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &SetupDialog::reject);

    // Languages in scan order; the last one equal to the current name is selected.
    AppSettings& settings = context_.settings;
    std::vector<std::string> names;
    context_.language.Scan(&names);
    settings.languageName = QString::fromStdString(context_.language.CurrentName());
    int selected = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        const QString name = QString::fromStdString(names[i]);
        languageList->addItem(name);
        if (name.compare(settings.languageName, Qt::CaseInsensitive) == 0)
            selected = static_cast<int>(i);
    }
    if (!names.empty())
        languageList->setCurrentIndex(selected);

    ApplyDialogCaptions();
    ShowValues();
    connect(languageList, &QComboBox::activated, this, &SetupDialog::OnLanguageSelected);
}

void SetupDialog::ApplyDialogCaptions()
{
    for (int i = 0; i < 8; ++i)
        labels_[i]->setText(Translate(kLabelKeys[i]));
    okButton->setText(Translate("OK"));
    cancelButton->setText(Translate("Cancel"));
    setWindowTitle(Translate("Setup"));
    parityList->clear();
    parityList->addItems({Translate("NON"), Translate("ODD"), Translate("EVEN"), Translate("SPACE")});
    parityList->setCurrentIndex(0);
}

void SetupDialog::ShowValues()
{
    speedList->setCurrentIndex(speedIndex);
    printSpeedList->setCurrentIndex(printSpeedIndex);
    // The port shown is the one saved in the settings; out of 1..50 it shows none.
    const int port = context_.settings.PortNumber();
    portList->setCurrentIndex(port >= 1 && port <= 50 ? port - 1 : -1);
    baudList->setCurrentIndex(IndexOf(kBauds, baudRate));
    dataBitList->setCurrentIndex(IndexOf(kDataBits, dataBits));
    stopBitList->setCurrentIndex(IndexOf(kStopBits, stopBits));
    const char* p = parity ? std::strchr(kParities, parity) : nullptr;
    parityList->setCurrentIndex(p ? static_cast<int>(p - kParities) : -1);
}

RunSettings SetupDialog::Values() const
{
    return {portNumber, baudRate, parity, dataBits, stopBits, speedIndex, printSpeedIndex};
}

void SetupDialog::OnLanguageSelected()
{
    const QString chosen = languageList->currentText();
    context_.language.Load(context_.settings.languageName.toStdString());
    languageChanged = chosen != context_.settings.languageName;
}

void SetupDialog::accept()
{
    AppSettings& settings = context_.settings;
    // A port outside the list (a hand-edited Path) shows no choice and is kept as stored.
    if (portList->currentIndex() >= 0)
        settings.portText = QString::number(portList->currentIndex() + 1);
    portNumber = settings.PortNumber();
    auto pick = [](const auto& table, int index, int keep) {
        return index >= 0 && index < static_cast<int>(std::size(table)) ? table[index] : keep;
    };
    baudRate = pick(kBauds, baudList->currentIndex(), baudRate);
    dataBits = pick(kDataBits, dataBitList->currentIndex(), dataBits);
    stopBits = pick(kStopBits, stopBitList->currentIndex(), stopBits);
    const int parityIndex = parityList->currentIndex();
    parity = parityIndex >= 0 && parityIndex < 4 ? kParities[parityIndex] : parity;
    speedIndex = std::max(0, speedList->currentIndex());
    printSpeedIndex = std::max(0, printSpeedList->currentIndex());
    QDialog::accept();

    settings.BuildSettingsPath();
    bool written = WriteSetting("CommNo", settings.portText);
    if (languageChanged) {
        languageChanged = false;
        settings.languageName = languageList->currentText();
        settings.BuildSettingsPath();
        written = WriteSetting("Language", settings.languageName) && written;
        written = WriteSetting("CommNo", settings.portText) && written;
        ApplyDialogCaptions();
        emit languageApplied();
    }
    // A setting that did not reach the file would be silently lost at the next start.
    if (!written)
        context_.Message(Translate("save error") + "\n" + settings.configPath);
}
