#include "ui/MainWindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QPaintEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <cstring>

#include "dialogs/Prompt.h"
#include "dialogs/PatientInfoDialog.h"
#include "db/PatientStore.h"
#include "dialogs/HistoryPatientListDialog.h"
#include "dialogs/ReadingDialog.h"
#include "dialogs/ReadingListDialog.h"
#include "dialogs/RecordListDialog.h"
#include "dialogs/AbortBox.h"

namespace {

// The screen is refreshed from the panel images at about 60 frames per second.
constexpr int kFrameIntervalMs = 16;

}  // namespace

MainWindow::MainWindow(const AppContext& context, QWidget* parent)
    : QWidget(parent),
      context_(context),
      display_(context.language),
      panels_(context.language),
      channel_([this](const uint8_t* bytes, std::size_t count) { recorder_.TakeBytes(bytes, count); }),
      engineFeed_(context.engine),
      decoder_(&engineFeed_, this),
      demo_([this](const DevicePacket& packet) { decoder_.ProcessPacket(packet); }),
      printJob_(context.language),
      review_(context.engine, context.language)
{
    state_.dataDirectory = QDir::currentPath();
    line_.portNumber = context_.settings.PortNumber();

    setWindowFlag(Qt::FramelessWindowHint);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int W = screen.width();
    const int H = screen.height();
    setGeometry(0, 0, W, H);

    buttons_ = MakeButtons(this, W, H);
    const WindowButtons& b = buttons_;
    connect(b.newPatient, &QPushButton::clicked, this, &MainWindow::OnNewPatient);
    connect(b.record, &QPushButton::clicked, this, &MainWindow::OnRecord);
    connect(b.realTime, &QPushButton::clicked, this, &MainWindow::OnRealTimeView);
    connect(b.history, &QPushButton::clicked, this, &MainWindow::OnHistoryView);
    connect(b.print, &QPushButton::clicked, this, &MainWindow::OnPrint);
    connect(b.read, &QPushButton::clicked, this, &MainWindow::OnRead);
    connect(b.readingList, &QPushButton::clicked, this, &MainWindow::OnReadingList);
    connect(b.prev, &QPushButton::clicked, this, &MainWindow::OnPrevSecond);
    connect(b.next, &QPushButton::clicked, this, &MainWindow::OnNextSecond);
    connect(b.setup, &QPushButton::clicked, this, &MainWindow::OnSetup);
    connect(b.demo, &QPushButton::clicked, this, &MainWindow::OnDemo);
    connect(b.close, &QPushButton::clicked, this, &MainWindow::OnClose);

    layout_ = ComputeLayout(W, H);
    header_ = new HeaderStrip(context.language, this);
    header_->setGeometry(layout_.headerRect);
    display_.SetLayout(layout_.leadRect, layout_.labelRect);
    connect(&frameTimer_, &QTimer::timeout, this, &MainWindow::OnFrame);
    frameTimer_.start(kFrameIntervalMs);
    // A recording that ended by itself is stopped as Stop Record does, and the user is told why;
    // a late report of a recording already stopped finds nothing failed.
    connect(&recorder_, &StreamRecorder::ended, this, [this] {
        if (session_.Recording() && recorder_.Failed())
            StopRecording();
    });
    connect(&channel_, &SerialChannel::failed, this, [this](const QString& text) {
        context_.prompt.Show(context_.Translate("Application Error"), text, PromptIcon::Stop,
                             PromptButtons::Ok);
    });
    // Told when the PACS answers, whether or not the history list is still open.
    connect(&pacsSend_, &PacsSendJob::finished, this,
            [this](const std::vector<ObjectOutcome>& outcomes) {
                HistoryPatientListDialog::Report(context_, outcomes);
            });

    ApplyCaptions();
    OpenPort();
}

MainWindow::~MainWindow()
{
    // Whatever is still queued of a recording reaches its file even on an abrupt end.
    channel_.Close();
    recorder_.Stop();
    demo_.Stop();
    frameTimer_.stop();
    decoder_.SetSink(nullptr);
}

void MainWindow::Refuse(const char* key)
{
    // The closed port's refusal carries the program's plain caption and no icon.
    if (std::strcmp(key, kCheckPortKey) == 0)
        context_.prompt.Show("Corvida", context_.Translate(key), PromptIcon::None,
                             PromptButtons::Ok);
    else
        context_.Message(context_.Translate(key));
}

void MainWindow::ApplyCaptions()
{
    context_.language.Load(context_.settings.languageName.toStdString());
    const WindowButtons& b = buttons_;
    b.close->setText(context_.Translate("CLOSE"));
    b.newPatient->setText(context_.Translate("New Patient"));
    b.history->setText(context_.Translate("History View"));
    b.print->setText(context_.Translate("Print"));
    b.read->setText(context_.Translate("Read ECG"));
    b.readingList->setText(context_.Translate("Reading List"));
    b.realTime->setText(context_.Translate("Real-Time View"));
    b.record->setText(context_.Translate("Start Record"));
    b.setup->setText(context_.Translate("Setup"));
    b.demo->setText(context_.Translate(session_.Demo() ? "STOP" : "DEMO"));
    display_.ResetStateLabels();
    update();
}

void MainWindow::OpenPort()
{
    line_.portNumber = context_.settings.PortNumber();
    session_.SetPortOpen(OpenChannel());
}

void MainWindow::BeginMonitoring()
{
    if (session_.BeginMonitoring())
        channel_.BeginWatching();
}

void MainWindow::ReviewLastRecord()
{
    const QString path = state_.lastSavedRecordPath;
    if (!path.isEmpty())
        LoadRecordForReview(path);
    update();
}

void MainWindow::EnableReviewButtons(bool print, bool prev, bool next)
{
    buttons_.print->setEnabled(print);
    buttons_.read->setEnabled(print);
    buttons_.prev->setEnabled(prev);
    buttons_.next->setEnabled(next);
}

void MainWindow::OnPatientCreated(int32_t id, const PatientRecord& facts)
{
    state_.currentPatientId = QString::number(id);
    state_.currentPatientDate = facts.NewDate;
    state_.dataDirectory = PatientDataFolder(id);
    QDir().mkpath(state_.dataDirectory);
    header_->ShowPatient(facts);
    BeginMonitoring();
}

void MainWindow::OnPatientDeleted(const QString& id)
{
    if (id != state_.currentPatientId)
        return;
    // Nothing more may be recorded or printed under a deleted patient: the window is as before
    // any patient was built.
    state_.currentPatientId.clear();
    state_.currentPatientDate.clear();
    state_.dataDirectory = RunState().dataDirectory;
    if (state_.lastSavedRecordPath.startsWith(PatientDataFolder(id.toInt()) + "/"))
        state_.lastSavedRecordPath.clear();
    session_.ForgetPatient();
    header_->Clear();
}

void MainWindow::OnRecordPathChanged(const QString& path)
{
    // A record chosen in the list is under review from then on; none chosen forgets the last.
    state_.lastSavedRecordPath = path;
    if (!path.isEmpty())
        session_.EnterReview();
}

void MainWindow::OnLanguageApplied()
{
    ApplyCaptions();
    header_->Retranslate();
    ReviewLastRecord();
}

void MainWindow::OnNewPatient()
{
    if (const char* refusal = session_.Refusal(Command::NewPatient))
        return Refuse(refusal);
    review_.ClearResults();
    PatientInfoDialog dialog(context_, session_.PortOpen(), this);
    connect(&dialog, &PatientInfoDialog::patientCreated, this, &MainWindow::OnPatientCreated);
    if (dialog.exec() == QDialog::Accepted)
        AcceptNewPatient();
}

void MainWindow::AcceptNewPatient()
{
    session_.AcceptPatient();
    buttons_.realTime->setEnabled(true);
    buttons_.record->setEnabled(true);
    EnableReviewButtons(false, false, false);
    display_.ResetAllLeadPens(true);
}

void MainWindow::OnRecord()
{
    buttons_.realTime->setEnabled(true);
    if (session_.Recording())
        return StopRecording();
    if (const char* refusal = session_.Refusal(Command::Record))
        return Refuse(refusal);
    StartRecording();
}

void MainWindow::OnRealTimeView()
{
    if (const char* refusal = session_.Refusal(Command::RealTimeView))
        return Refuse(refusal);
    if (session_.ResumeForLive())
        channel_.ResumeWatching();
    review_.ClearResults();
    if (!state_.currentPatientId.isEmpty()) {
        display_.ResetAllLeadPens(true);
        SetPatientHeaderFromDatabase();
    }
    session_.LeaveReview();
    EnableReviewButtons(false, false, false);
    update();
}

void MainWindow::OnHistoryView()
{
    if (const char* refusal = session_.Refusal(Command::HistoryView))
        return Refuse(refusal);
    // Browsing holds the live drawing; the stream itself, and a recording, never wait.
    const bool suspended = session_.SuspendForHistory();
    if (suspended) {
        channel_.SuspendWatching();
        buttons_.realTime->setEnabled(true);
    }
    HistoryPatientListDialog dialog(context_, state_.viewedPatientId, this);
    HistoryPatientListDialog* d = &dialog;
    connect(d, &HistoryPatientListDialog::headerCleared, header_, &HeaderStrip::Clear);
    connect(d, &HistoryPatientListDialog::recordPathChanged, this, &MainWindow::OnRecordPathChanged);
    connect(d, &HistoryPatientListDialog::viewedPatientChanged, this,
            [this](const QString& id) { state_.viewedPatientId = id; });
    connect(d, &HistoryPatientListDialog::patientViewed, header_, &HeaderStrip::ShowPatient);
    connect(d, &HistoryPatientListDialog::patientDeleted, this, &MainWindow::OnPatientDeleted);
    connect(d, &HistoryPatientListDialog::sendRequested, this,
            [this](const PatientRecord& row, const DicomPatient& patient, const QStringList& records) {
                pacsSend_.Start(row, patient, records, context_.language, context_.settings.configPath);
            });
    connect(&pacsSend_, &PacsSendJob::runningChanged, d, [d](bool running) { d->AllowSend(!running); });
    d->AllowSend(!pacsSend_.Running());
    // The list is filled on opening, before anything was connected.
    state_.viewedPatientId = d->ViewedPatientId();
    const int result = dialog.exec();
    // Leaving the list resumes reception whatever was chosen there.
    if (suspended) {
        session_.ResumeAfterHistory();
        channel_.ResumeWatching();
    }
    if (result == QDialog::Accepted && !state_.lastSavedRecordPath.isEmpty()) {
        session_.EnterReview();
        EnableReviewButtons(true, true, true);
        if (!LoadRecordForReview(state_.lastSavedRecordPath))
            Refuse("file error");
    }
    update();
}

void MainWindow::OnSetup()
{
    buttons_.realTime->setEnabled(false);
    if (const char* refusal = session_.Refusal(Command::Setup))
        return Refuse(refusal);

    SetupDialog dialog(context_, line_, this);
    connect(&dialog, &SetupDialog::languageApplied, this, &MainWindow::OnLanguageApplied);
    if (dialog.exec() == QDialog::Accepted) {
        if (session_.PortOpen())
            channel_.Close();
        line_ = dialog.Values();
        if (!session_.Demo()) {
            if (!OpenChannel()) {
                session_.SetPortOpen(false);
                Refuse("Connect Error");
            } else {
                session_.SetPortOpen(true);
                session_.ForgetPatient();
            }
        }
    }
    session_.ForgetMonitoring();
    update();
}

void MainWindow::OnPrint()
{
    buttons_.realTime->setEnabled(false);
    if (const char* refusal = session_.Refusal(Command::Print))
        return Refuse(refusal);
    const QString path = state_.lastSavedRecordPath;
    if (path.isEmpty())
        return;
    session_.ForgetPatient();
    AbortBox::PrintRecord(context_, this, printJob_, path, line_.printSpeedIndex);
}

void MainWindow::OnRead()
{
    if (const char* refusal = session_.Refusal(Command::Print))
        return Refuse(refusal);
    const QString path = state_.lastSavedRecordPath;
    if (path.isEmpty())
        return;
    ReadingDialog dialog(context_, path, this);
    if (!dialog.Loaded())
        return;
    connect(&dialog, &ReadingDialog::readingStored, this, &MainWindow::ReviewLastRecord);
    dialog.exec();
}

void MainWindow::OnReadingList()
{
    // Refused as History View is: a first look registers older records, which takes a while.
    if (const char* refusal = session_.Refusal(Command::HistoryView))
        return Refuse(refusal);
    ReadingListDialog dialog(context_, this);
    connect(&dialog, &ReadingListDialog::readingStored, this, [this](const QString& path) {
        if (session_.Review() && path == state_.lastSavedRecordPath)
            ReviewLastRecord();
    });
    dialog.exec();
}

void MainWindow::OnPrevSecond()
{
    buttons_.realTime->setEnabled(true);
    if (review_.AtLastSecond())
        buttons_.next->setEnabled(true);
    if (!review_.StepBack())
        buttons_.prev->setEnabled(false);
    update();
}

void MainWindow::OnNextSecond()
{
    buttons_.realTime->setEnabled(true);
    if (review_.CurrentSecond() == 1)
        buttons_.prev->setEnabled(true);
    if (!review_.StepForward())
        buttons_.next->setEnabled(false);
    update();
}

void MainWindow::PlayDemo(const QString& path)
{
    state_.demoFilePath = path;
    session_.StartDemo();
    channel_.Close();
    buttons_.demo->setText(context_.Translate("STOP"));
    buttons_.record->setEnabled(false);
    if (state_.demoFilePath.isEmpty())
        return Refuse("demo file can't be find");
    display_.ResetAllLeadPens(true);
    session_.LeaveReview();
    EnableReviewButtons(false, false, false);
    buttons_.record->setText(context_.Translate("Start Record"));
    update();
    if (!demo_.Start(state_.demoFilePath))
        context_.Message(context_.Translate("file error"));
    else if (demo_.DamagedSecond() >= 0)
        context_.Message(context_.Translate("record damaged at %1 s").arg(demo_.DamagedSecond()));
    header_->Clear();
}

void MainWindow::OnDemo()
{
    if (const char* refusal = session_.Refusal(Command::Demo))
        return Refuse(refusal);
    session_.ForgetMonitoring();
    review_.ClearResults();

    if (!session_.Demo()) {
        state_.demoFilePath.clear();
        RecordListDialog dialog(context_, this);
        dialog.demoMode = 1;
        const int result = dialog.exec();
        // The list hands back a record path in demo mode too, and OK without a row forgets the
        // last one, as in history mode.
        if (dialog.recordPath)
            state_.lastSavedRecordPath = *dialog.recordPath;
        if (result != QDialog::Accepted)
            return;
        return PlayDemo(dialog.demoFilePath);
    }

    buttons_.realTime->setEnabled(true);
    session_.StopDemo();
    demo_.Stop();
    buttons_.demo->setText(context_.Translate("DEMO"));
    if (!OpenChannel()) {
        session_.SetPortOpen(false);
        Refuse("Connect Error");
    } else {
        session_.SetPortOpen(true);
    }
    display_.ResetAllLeadPens(true);
    EnableReviewButtons(false, false, false);
    buttons_.record->setText(context_.Translate("Start Record"));
    update();
    header_->Clear();
}

void MainWindow::OnClose()
{
    if (const char* refusal = session_.Refusal(Command::Close))
        return Refuse(refusal);
    // Ending now would leave the outcome of a send untold.
    if (pacsSend_.Running())
        return Refuse("Please wait for the PACS to answer");
    if (session_.PortOpen())
        channel_.Close();
    session_.SetPortOpen(false);
    EndWindow();
}

void MainWindow::EndWindow()
{
    closing_ = true;
    close();
    QCoreApplication::exit(0);
}

void MainWindow::SetPatientHeaderFromDatabase()
{
    const PatientLookup found = FindPatient(state_.currentPatientId);
    if (found.queryFailed)
        return Refuse("Search Record Error");
    if (!found.row)
        return Refuse("The Patient is not exist!");
    // The header names the live patient from now on, after a language change too.
    header_->ShowPatient(*found.row);
}

bool MainWindow::OpenChannel()
{
    return channel_.Open([this](uint8_t byte) { decoder_.OnSerialByte(byte); }, line_.portNumber,
                         line_.baudRate, line_.parity, line_.dataBits, line_.stopBits, 3, 50);
}

void MainWindow::StartRecording()
{
    // Held before anything is stored: a delete elsewhere now waits for the end of the recording,
    // and a patient deleted or handed on meanwhile is not recorded under its old folder.
    PatientRecord patient;
    patient.PatientID = state_.currentPatientId.toInt();
    patient.NewDate = state_.currentPatientDate;
    if (!recordingHold_.Take(patient)) {
        OnPatientDeleted(state_.currentPatientId);
        return Refuse("The Patient is not exist!");
    }
    // The file is made now, so a folder that refuses it is reported before a single packet is
    // taken, not after the first 48 s.
    if (!recorder_.Start(state_.dataDirectory.toStdString(), std::time(nullptr))) {
        recordingHold_.Release();
        context_.Message(context_.Translate("save error"));
        return;
    }
    session_.StartRecording();
    buttons_.record->setText(context_.Translate("Stop Record"));
    state_.currentRecordPath = QString::fromStdString(recorder_.Path().string());
    previousRecordPath_ = state_.lastSavedRecordPath;
    state_.lastSavedRecordPath = state_.currentRecordPath;
}

void MainWindow::StopRecording()
{
    if (FinishRecordFile(true))
        ReviewStoppedRecord();
}

void MainWindow::EndRecording()
{
    if (session_.Recording())
        FinishRecordFile(false);
}

bool MainWindow::FinishRecordFile(bool tellUser)
{
    buttons_.record->setText(context_.Translate("Start Record"));
    session_.StopRecording();
    // The rest is written now rather than on the next packet: with the recorder unplugged or
    // the window closed right after Stop, it would never come.
    const RecordingEnd end = recorder_.Stop();
    recordingHold_.Release();
    if (tellUser && end.failure == RecordingFailure::SaveError)
        context_.Message(context_.Translate("save error"));
    if (tellUser && end.failure == RecordingFailure::NotRecorderStream)
        context_.Message(context_.Translate("The port does not carry an ECG recorder's stream"));
    if (end.kept)
        return true;
    // Nothing worth keeping reached the file (the stream never came to lead I, fillers only):
    // the empty record is gone and the record shown before stays the one to review and print.
    state_.currentRecordPath.clear();
    state_.lastSavedRecordPath = previousRecordPath_;
    if (end.failure == RecordingFailure::None && tellUser)
        context_.Message(context_.Translate("No data!"));
    return false;
}

void MainWindow::ReviewStoppedRecord()
{
    LoadRecordForReview(state_.lastSavedRecordPath);
    const bool shown = session_.Review() && review_.CurrentSecond() > 0;
    EnableReviewButtons(shown, shown && review_.CurrentSecond() > 1, shown && !review_.FixedLength());
    update();
}

PacketModes MainWindow::Modes() const
{
    // The display records nothing: the recorder takes the stream on the watcher's thread.
    PacketModes modes;
    modes.playback = session_.Demo();
    modes.review = session_.Review();
    modes.speedIndex = line_.speedIndex;
    return modes;
}

bool MainWindow::RecordStep(const DevicePacket&, const PacketFields&)
{
    return true;
}

void MainWindow::DrawPoint(uint8_t leadIndex, int16_t sample)
{
    display_.DrawPoint(leadIndex, sample);
}

void MainWindow::UpdateLeadLabels(uint8_t leadIndex, int speedCode, int gainCode, int filterCode,
                                  int modeFlag, int rangeFlag)
{
    display_.UpdateLeadLabels(leadIndex, speedCode, gainCode, filterCode, modeFlag, rangeFlag);
}

void MainWindow::OnFrame()
{
    const QRegion changed = display_.TakeDirty();
    if (!changed.isEmpty())
        update(changed);
}

bool MainWindow::LoadRecordForReview(const QString& path)
{
    if (path.isEmpty())
        return true;
    session_.EnterReview();
    const bool loaded = review_.Load(path, &decoder_);
    if (review_.FixedLength())
        buttons_.next->setEnabled(false);
    update();
    if (loaded && review_.DamagedSecond() >= 0)
        context_.Message(context_.Translate("record damaged at %1 s").arg(review_.DamagedSecond()));
    return loaded;
}

void MainWindow::paintEvent(QPaintEvent* event)
{
    if (isMinimized())
        return;
    if (session_.Review() && review_.CurrentSecond() >= 1)
        review_.Draw(display_);
    else if (!session_.Review())
        display_.LeaveReview();

    QPainter painter(this);
    const QRegion& region = event->region();
    const WindowLayout& l = layout_;
    painter.fillRect(rect(), Qt::white);
    painter.fillRect(l.headerRect, Qt::black);
    painter.fillRect(l.measurementRect, Qt::black);
    painter.fillRect(l.diagnosisRect, Qt::black);
    display_.PaintLeads(painter, region);

    if (region.intersects(l.measurementRect))
        panels_.DrawMeasurements(painter, l.measurementRect, review_.Measurements(),
                                 context_.engine.Leads(), review_.CorrectedMarks());
    if (region.intersects(l.diagnosisRect))
        panels_.DrawDiagnosis(painter, l.diagnosisRect, review_.Conclusion(), review_.FirstLine(),
                              review_.Diagnosed());
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // Enter and Escape do nothing: CLOSE is the only way to end the window.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return
        || event->key() == Qt::Key_Enter)
        return;
    QWidget::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (closing_) {
        event->accept();
        return;
    }
    // A close request from the window system goes through the same checks as CLOSE.
    event->ignore();
    OnClose();
}
