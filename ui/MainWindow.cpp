#include "ui/MainWindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QPaintEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include "app/Application.h"
#include "app/Prompt.h"
#include "db/PatientInfoDialog.h"
#include "db/PatientStore.h"
#include "history/HistoryPatientListDialog.h"
#include "record/RecordListDialog.h"
#include "report/PrintJob.h"
#include "setup/SetupDialog.h"

namespace {

// The screen is refreshed from the panel images at about 60 frames per second.
constexpr int kFrameIntervalMs = 16;
// Demo pacing: packets are due by the clock, checked every 10 ms (8 packets a tick).
constexpr int kDemoTickMs = 10;
// A demo that fell behind by more than a second (a modal dialog, a busy machine) resumes at the
// present instead of rushing through the backlog.
constexpr qint64 kDemoMaxBacklog = kPacketsPerSecond;
constexpr int kDemoChunkPackets = 256;

void Refuse(const char* key)
{
    App().GetPrompt().Message(Translate(key));
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent)
{
    App().state.dataDirectory = QDir::currentPath();
    portNumber = App().PortNumber();

    setWindowFlag(Qt::FramelessWindowHint);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int W = screen.width();
    const int H = screen.height();
    setGeometry(0, 0, W, H);

    for (std::string& line : App().state.conclusion.line)
        line.assign(1, ' ');

    auto make = [this](const QString& text) {
        auto* button = new QPushButton(text, this);
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };
    newPatientButton = make("New Patient");
    recordButton = make("Start Record");
    realTimeButton = make("Real-Time View");
    historyButton = make("History View");
    printButton = make("Print");
    prevButton = make("<");
    nextButton = make(">");
    setupButton = make("Setup");
    demoButton = make("DEMO");
    closeButton = make("Close");
    cancelButton_ = make("Cancel");
    cancelButton_->hide();

    const int B = W / 10;
    const int K = H / 35;
    const int small = 2 * B / 3;
    const int R = W;
    newPatientButton->setGeometry(5, 0, B, K);
    recordButton->setGeometry(B + 10, 0, B, K);
    realTimeButton->setGeometry(2 * B + 15, 0, B, K);
    historyButton->setGeometry(3 * B + 20, 0, B, K);
    printButton->setGeometry(5 * B + 30, 0, small, K);
    prevButton->setGeometry(5 * B + 30 + small + 5, 0, 30, K);
    nextButton->setGeometry(5 * B + 30 + small + 35, 0, 30, K);
    setupButton->setGeometry(R - 3 * (small + 5), 0, small, K);
    demoButton->setGeometry(R - 2 * (small + 5), 0, small, K);
    closeButton->setGeometry(R - small - 5, 0, small, K);
    for (QPushButton* b : {prevButton, nextButton, printButton, recordButton, realTimeButton})
        b->setEnabled(false);

    statusLine_ = new QLabel("CC", this);
    statusLine_->setGeometry(5, 755, 300, 25);
    statusLine_->hide();
    demoActive = false;

    connect(newPatientButton, &QPushButton::clicked, this, &MainWindow::OnNewPatient);
    connect(recordButton, &QPushButton::clicked, this, &MainWindow::OnRecord);
    connect(realTimeButton, &QPushButton::clicked, this, &MainWindow::OnRealTimeView);
    connect(historyButton, &QPushButton::clicked, this, &MainWindow::OnHistoryView);
    connect(printButton, &QPushButton::clicked, this, &MainWindow::OnPrint);
    connect(prevButton, &QPushButton::clicked, this, &MainWindow::OnPrevSecond);
    connect(nextButton, &QPushButton::clicked, this, &MainWindow::OnNextSecond);
    connect(setupButton, &QPushButton::clicked, this, &MainWindow::OnSetup);
    connect(demoButton, &QPushButton::clicked, this, &MainWindow::OnDemo);
    connect(closeButton, &QPushButton::clicked, this, &MainWindow::OnClose);

    ComputeLayout(W, H);
    display.SetLayout(leadRect, labelRect);
    headerLine1.clear();
    headerLine2.clear();
    decoder.SetSink(this);
    connect(&frameTimer_, &QTimer::timeout, this, &MainWindow::OnFrame);
    frameTimer_.start(kFrameIntervalMs);
    connect(&demoTimer_, &QTimer::timeout, this, &MainWindow::OnDemoTick);

    ApplyCaptions();
    OpenPort();
}

MainWindow::~MainWindow()
{
    // Whatever is still buffered of a recording reaches its file even on an abrupt end.
    recordWriter.Finish();
    StopDemoPlayback();
    frameTimer_.stop();
    decoder.SetSink(nullptr);
    CloseChannel();
}

void MainWindow::ComputeLayout(int width, int height)
{
    const int R = width;
    const int bottom = height;
    const int areaTop = height / 35 + 1;
    const int Wp = R / 4;
    const int Wl = R / 8;
    const int Hp = 3 * bottom / 20;
    for (int i = 0; i < 12; ++i) {
        const int c = i / 6;
        const int r = i % 6;
        const int left = Wl + c * (Wl + Wp + 1);
        const int top = areaTop + r * (Hp + 1);
        leadRect[i] = QRect(QPoint(left, top), QPoint(left + Wp, top + Hp));
        labelRect[i] = QRect(QPoint(left - Wl, top), QPoint(left, top + Hp));
    }
    // Rectangles are kept as the edges the layout names (left/top inclusive, right/bottom the
    // far edge), so QRect::right()/bottom() are those edges exactly.
    measurementRect = QRect(QPoint(3 * R / 4 + 2, areaTop + 1), QPoint(R - 1, bottom / 3 - 1));
    diagnosisRect = QRect(QPoint(3 * R / 4 + 2, bottom / 3 + 1),
                          QPoint(R - 1, leadRect[11].bottom() - 1));
    headerRect = QRect(QPoint(0, leadRect[11].bottom() + 1), QPoint(R, bottom));
}

void MainWindow::ApplyCaptions()
{
    Application& app = App();
    app.language.Load(app.settings.languageName.toStdString());
    closeButton->setText(Translate("CLOSE"));
    newPatientButton->setText(Translate("New Patient"));
    historyButton->setText(Translate("History View"));
    printButton->setText(Translate("Print"));
    realTimeButton->setText(Translate("Real-Time View"));
    recordButton->setText(Translate("Start Record"));
    setupButton->setText(Translate("Setup"));
    demoButton->setText(Translate(demoActive ? "STOP" : "DEMO"));
    display.ResetStateLabels();
    update();
}

void MainWindow::OpenPort()
{
    portNumber = App().PortNumber();
    App().state.portOpen = OpenChannel();
}

void MainWindow::SetHeaderLines(const QString& line1, const QString& line2)
{
    if (!line1.isEmpty())
        headerLine1 = line1;
    if (!line2.isEmpty())
        headerLine2 = line2;
    if (!line1.isEmpty() || !line2.isEmpty())
        update(headerRect);
}

void MainWindow::BeginMonitoring()
{
    if (monitoringStarted)
        return;
    StartWatcher();
    monitoringStarted = true;
    watcherRunning = 1;
}

void MainWindow::ResumeWatcherAfterHistory()
{
    // Marked running again, so the next History View suspends it as the first one did.
    if (suspendedByHistory && App().state.portOpen) {
        ResumeWatcher();
        watcherRunning = 1;
    }
}

void MainWindow::ReviewLastRecord()
{
    const QString path = App().state.lastSavedRecordPath;
    if (!path.isEmpty())
        LoadRecordForReview(path);
    update();
}

void MainWindow::OnNewPatient()
{
    RunState& state = App().state;
    if (demoActive)
        return Refuse("Please stop the Demo first");
    if (state.recording)
        return Refuse("Please stop the recording");
    App().ClearAnalysisResults();

    PatientInfoDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    AcceptNewPatient();
}

void MainWindow::AcceptNewPatient()
{
    App().state.review = false;
    patientReady = true;
    realTimeButton->setEnabled(true);
    recordButton->setEnabled(true);
    printButton->setEnabled(false);
    prevButton->setEnabled(false);
    nextButton->setEnabled(false);
    ResetAllLeadPens(true);
}

void MainWindow::OnRecord()
{
    RunState& state = App().state;
    realTimeButton->setEnabled(true);
    if (state.recording) {
        StopRecording();
        return;
    }
    if (demoActive)
        return Refuse("Please stop the Demo first");
    if (!state.portOpen) {
        // This one refusal carries the program's plain caption and no icon.
        App().GetPrompt().Show("Corvida", Translate("Please Check the port setting!"),
                               PromptIcon::None, PromptButtons::Ok);
        return;
    }
    if (!patientReady)
        return Refuse("Please bulid new patient");
    StartRecording();
}

void MainWindow::OnRealTimeView()
{
    RunState& state = App().state;
    if (demoActive)
        return Refuse("Please stop the Demo first");
    if (state.portOpen && watcherRunning != 1) {
        ResumeWatcher();
        watcherRunning = 1;
    }
    App().ClearAnalysisResults();
    if (!state.currentPatientId.isEmpty()) {
        ResetAllLeadPens(true);
        SetPatientHeaderFromDatabase();
    }
    state.review = false;
    printButton->setEnabled(false);
    prevButton->setEnabled(false);
    nextButton->setEnabled(false);
    update();
}

void MainWindow::OnHistoryView()
{
    RunState& state = App().state;
    if (state.recording)
        return Refuse("Please stop the recording");
    if (demoActive)
        return Refuse("Please stop the Demo first");
    if (state.portOpen && watcherRunning == 1) {
        SuspendWatcher();
        watcherRunning = 0;
        suspendedByHistory = true;
        realTimeButton->setEnabled(true);
    }
    HistoryPatientListDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted && !state.lastSavedRecordPath.isEmpty()) {
        state.review = true;
        prevButton->setEnabled(true);
        nextButton->setEnabled(true);
        printButton->setEnabled(true);
        if (!LoadRecordForReview(state.lastSavedRecordPath))
            Refuse("file error");
    }
    update();
}

void MainWindow::OnSetup()
{
    RunState& state = App().state;
    realTimeButton->setEnabled(false);
    if (state.recording)
        return Refuse("Please stop the recording");
    if (demoActive)
        return Refuse("Please stop the Demo first");

    SetupDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted) {
        if (state.portOpen)
            CloseChannel();
        portNumber = dialog.portNumber;
        baudRate = dialog.baudRate;
        dataBits = dialog.dataBits;
        stopBits = dialog.stopBits;
        parity = dialog.parity;
        speedIndex = dialog.speedIndex;
        printSpeedIndex = dialog.printSpeedIndex;
        if (!state.playback) {
            if (!OpenChannel()) {
                state.portOpen = false;
                Refuse("Connect Error");
            } else {
                state.portOpen = true;
                patientReady = false;
            }
        }
    }
    monitoringStarted = false;
    update();
}

void MainWindow::OnPrint()
{
    realTimeButton->setEnabled(false);
    if (demoActive)
        return Refuse("Please stop the Demo first");
    const QString path = App().state.lastSavedRecordPath;
    if (path.isEmpty())
        return;
    patientReady = false;
    PrintRecord(this, path, printSpeedIndex);
}

void MainWindow::OnPrevSecond()
{
    realTimeButton->setEnabled(true);
    if (currentSecond == pageCount)
        nextButton->setEnabled(true);
    if (currentSecond < 2)
        prevButton->setEnabled(false);
    else
        --currentSecond;
    update();
}

void MainWindow::OnNextSecond()
{
    realTimeButton->setEnabled(true);
    if (currentSecond == 1)
        prevButton->setEnabled(true);
    if (currentSecond < pageCount)
        ++currentSecond;
    else
        nextButton->setEnabled(false);
    update();
}

void MainWindow::PlayDemo(const QString& path)
{
    RunState& state = App().state;
    demoFilePath = path;
    demoStopRequest = false;
    state.playback = true;
    CloseChannel();
    watcherRunning = -1;
    demoButton->setText(Translate("STOP"));
    demoActive = true;
    recordButton->setEnabled(false);
    state.recording = false;
    patientReady = false;
    if (demoFilePath.isEmpty())
        return Refuse("demo file can't be find");
    ResetAllLeadPens(true);
    state.review = false;
    printButton->setEnabled(false);
    prevButton->setEnabled(false);
    nextButton->setEnabled(false);
    recordButton->setText(Translate("Start Record"));
    update();
    StartDemoPlayback(demoFilePath);
    headerLine1 = " ";
    headerLine2 = " ";
    state.patientHeaderValid = false;
}

void MainWindow::OnDemo()
{
    RunState& state = App().state;
    if (state.recording)
        return Refuse("Please stop the recording");
    monitoringStarted = false;
    App().ClearAnalysisResults();

    if (!demoActive) {
        demoFilePath.clear();
        RecordListDialog dialog(this);
        dialog.demoMode = 1;
        if (dialog.exec() != QDialog::Accepted)
            return;
        return PlayDemo(dialog.demoFilePath);
    }

    realTimeButton->setEnabled(true);
    demoStopRequest = true;
    state.playback = false;
    StopDemoPlayback();
    demoButton->setText(Translate("DEMO"));
    demoActive = false;
    if (!OpenChannel()) {
        state.portOpen = false;
        Refuse("Connect Error");
    } else {
        state.portOpen = true;
    }
    ResetAllLeadPens(true);
    state.review = false;
    printButton->setEnabled(false);
    prevButton->setEnabled(false);
    nextButton->setEnabled(false);
    state.recording = false;
    recordButton->setText(Translate("Start Record"));
    update();
    headerLine1 = " ";
    headerLine2 = " ";
    state.patientHeaderValid = false;
}

void MainWindow::OnClose()
{
    RunState& state = App().state;
    if (state.recording)
        return Refuse("Please stop the recording");
    if (demoActive)
        return Refuse("Please stop the Demo first");
    if (state.portOpen)
        CloseChannel();
    state.portOpen = false;
    EndWindow();
}

void MainWindow::EndWindow()
{
    closing_ = true;
    close();
    QCoreApplication::exit(0);
}

void MainWindow::OnSerialByte(uint8_t byte)
{
    decoder.OnSerialByte(byte);
}

void MainWindow::SetPatientHeaderFromDatabase()
{
    const PatientLookup found = FindPatient(App().state.currentPatientId);
    if (found.queryFailed)
        return Refuse("Search Record Error");
    if (!found.row)
        return Refuse("The Patient is not exist!");
    const PatientRecord& p = *found.row;
    SetHeaderLines(QString("%1  - %2    %3 -  %4    %5  - %6")
                       .arg(Translate("Name"), p.Name, Translate("Clinical NO."), p.ClinicalNo,
                            Translate("Sex"), Translate(p.Sex == 0 ? "MALE" : "FEMALE")),
                   QString());
}

void MainWindow::ResetAllLeadPens(bool erase)
{
    display.ResetAllLeadPens(erase);
}

bool MainWindow::OpenChannel()
{
    return channel.Open([this](uint8_t byte) { OnSerialByte(byte); }, portNumber, baudRate, parity,
                        dataBits, stopBits, 3, 50);
}

void MainWindow::CloseChannel()
{
    channel.Close();
}

void MainWindow::StartWatcher()
{
    channel.BeginWatching();
}

void MainWindow::SuspendWatcher()
{
    channel.SuspendWatching();
}

void MainWindow::ResumeWatcher()
{
    channel.ResumeWatching();
}

void MainWindow::StartRecording()
{
    RunState& state = App().state;
    // The file is made now, so a folder that refuses it is reported before a single packet is
    // taken, not after the first 48 s.
    if (!recordWriter.Start(state.dataDirectory.toStdString(), std::time(nullptr))) {
        App().GetPrompt().Message(Translate("save error"));
        return;
    }
    state.recording = true;
    awaitingLeadStart_ = true;
    leadStartWait_ = 0;
    recordButton->setText(Translate("Stop Record"));
    state.currentRecordPath = QString::fromStdString(recordWriter.Path().string());
    state.lastSavedRecordPath = state.currentRecordPath;
}

void MainWindow::StopRecording()
{
    RunState& state = App().state;
    recordButton->setText(Translate("Start Record"));
    state.recording = false;
    patientReady = false;
    analysisPending = true;
    // The rest is written now rather than on the next packet: with the recorder unplugged or
    // the window closed right after Stop, it would never come.
    if (!recordWriter.Finish())
        ReportSaveError();
    ReviewStoppedRecord();
}

void MainWindow::ReviewStoppedRecord()
{
    analysisPending = false;
    LoadRecordForReview(App().state.lastSavedRecordPath);
    const bool shown = App().state.review && pageCount > 0;
    printButton->setEnabled(shown);
    prevButton->setEnabled(shown && currentSecond > 1);
    nextButton->setEnabled(shown && !fixedLength);
    update();
}

void MainWindow::ReportSaveError()
{
    // Shown from the event loop, never from inside the packet path, and one box at a time: a
    // full disk fails every block and must not stack a box per block.
    if (saveErrorShown_)
        return;
    saveErrorShown_ = true;
    QTimer::singleShot(0, this, [this] {
        App().GetPrompt().Message(Translate("save error"));
        saveErrorShown_ = false;
    });
}

PacketModes MainWindow::Modes() const
{
    const RunState& state = App().state;
    PacketModes modes;
    modes.recording = state.recording;
    modes.playback = state.playback;
    modes.review = state.review;
    modes.speedIndex = speedIndex;
    return modes;
}

bool MainWindow::RecordStep(const DevicePacket& packet, const PacketFields& fields)
{
    const bool leadStart = fields.leadIndex != lastPacketLead_;
    lastPacketLead_ = fields.leadIndex;
    if (!recordWriter.Active())
        return true;
    if (!fields.validFlag)
        return false;
    // A record is read back as twelve 4 s segments counted from its first packet, and its
    // analysis takes the leads in the recorder's order from lead I. Started anywhere else, the
    // segments straddle two leads or come in another order and the heart rate, axes and
    // statements come out plainly wrong; so storing begins where lead I begins. A recorder that
    // never cycles to lead I is recorded after one record's length of waiting.
    if (awaitingLeadStart_) {
        const bool leadIStarts = leadStart && fields.leadIndex == kLeadI;
        if (!leadIStarts && leadStartWait_++ < kPacketsPerRecord)
            return true;
        awaitingLeadStart_ = false;
    }
    if (!recordWriter.Store(packet)) {
        ReportSaveError();
    } else if (recordWriter.Buffered() == 0) {
        recordButton->setEnabled(true);
        App().state.lastSavedRecordPath = App().state.currentRecordPath;
    }
    return true;
}

void MainWindow::DrawPoint(uint8_t leadIndex, int16_t sample)
{
    display.DrawPoint(leadIndex, sample);
}

void MainWindow::UpdateLeadLabels(uint8_t leadIndex, int speedCode, int gainCode, int filterCode,
                                  int modeFlag, int rangeFlag)
{
    display.UpdateLeadLabels(leadIndex, speedCode, gainCode, filterCode, modeFlag, rangeFlag);
}

void MainWindow::OnFrame()
{
    const QRegion changed = display.TakeDirty();
    if (!changed.isEmpty())
        update(changed);
}

bool MainWindow::LoadRecordForReview(const QString& path)
{
    if (path.isEmpty())
        return true;
    RunState& state = App().state;
    state.review = true;
    const ReviewOutcome outcome = LoadForReview(path.toStdString(), App().engine, App().language,
                                                state.conclusion, review, &decoder);
    pageCount = review.pageCount;
    currentSecond = review.currentSecond;
    fixedLength = review.fixedLength ? 1 : 0;
    state.leadsSeen = review.leadsSeen;
    state.firstLine = review.firstLine;
    if (fixedLength)
        nextButton->setEnabled(false);
    update();
    return outcome == ReviewOutcome::Loaded;
}

void MainWindow::StartDemoPlayback(const QString& path)
{
    StopDemoPlayback();
    demoFile_.setFileName(path);
    // A file shorter than one packet has nothing to repeat; a trailing partial packet is left
    // out so the record wraps on a packet boundary.
    if (!demoFile_.open(QIODevice::ReadOnly) || demoFile_.size() < kPacketBytes) {
        demoFile_.close();
        App().GetPrompt().Message(Translate("file error"));
        return;
    }
    demoPlayable_ = demoFile_.size() / kPacketBytes * kPacketBytes;
    demoPacketsDue_ = 0;
    demoClock_.start();
    demoTimer_.start(kDemoTickMs);
}

void MainWindow::StopDemoPlayback()
{
    demoTimer_.stop();
    demoFile_.close();
}

void MainWindow::OnDemoTick()
{
    if (demoStopRequest || !App().state.playback || !demoFile_.isOpen()) {
        StopDemoPlayback();
        return;
    }
    const qint64 due = demoClock_.nsecsElapsed() / 1000 * kPacketsPerSecond / 1000000;
    if (due - demoPacketsDue_ > kDemoMaxBacklog)
        demoPacketsDue_ = due - kDemoMaxBacklog;
    qint64 left = due - demoPacketsDue_;
    std::array<DevicePacket, kDemoChunkPackets> chunk;
    while (left > 0) {
        const qint64 toEnd = (demoPlayable_ - demoFile_.pos()) / kPacketBytes;
        const qint64 n = std::min<qint64>({left, kDemoChunkPackets, toEnd});
        const qint64 bytes = n * kPacketBytes;
        if (n <= 0 || demoFile_.read(reinterpret_cast<char*>(chunk.data()), bytes) != bytes) {
            StopDemoPlayback();
            App().GetPrompt().Message(Translate("file error"));
            return;
        }
        for (qint64 i = 0; i < n; ++i)
            decoder.ProcessPacket(chunk[i]);
        left -= n;
        demoPacketsDue_ += n;
        // The record repeats from its first packet without a pause.
        if (demoFile_.pos() >= demoPlayable_)
            demoFile_.seek(0);
    }
}

void MainWindow::paintEvent(QPaintEvent* event)
{
    if (isMinimized())
        return;
    const RunState& state = App().state;
    if (state.review && currentSecond >= 1) {
        const std::size_t count = std::min<std::size_t>(
            review.points.size(), std::size_t(currentSecond) * kPacketsPerSecond / kPacketsPerPoint);
        display.DrawReview(review.points.data(), review.points.size(), count);
    } else if (!state.review) {
        display.LeaveReview();
    }

    QPainter painter(this);
    const QRegion& region = event->region();
    painter.fillRect(rect(), Qt::white);
    painter.fillRect(headerRect, Qt::black);
    painter.fillRect(measurementRect, Qt::black);
    painter.fillRect(diagnosisRect, Qt::black);
    display.PaintLeads(painter, region);

    painter.setPen(Qt::white);
    painter.drawText(headerRect, Qt::AlignHCenter | Qt::AlignTop, headerLine1 + headerLine2);
    if (region.intersects(measurementRect))
        WaveformDisplay::DrawMeasurementPanel(painter, measurementRect, App().engine.Measurements(),
                                              App().engine.Leads());
    if (region.intersects(diagnosisRect))
        WaveformDisplay::DrawDiagnosisPanel(painter, diagnosisRect, state.conclusion,
                                            state.firstLine, state.leadsSeen == kLeadCount);
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
