#pragma once
// The one full-screen window: command buttons, twelve lead panels, measurement and diagnosis
// panels, the header strip. Every command checks the operating mode first and refuses with a
// message when it does not fit.
#include <QElapsedTimer>
#include <QFile>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>

#include "app/Application.h"
#include "device/AnalysisFeed.h"
#include "device/PacketSink.h"
#include "device/SerialChannel.h"
#include "device/StreamDecoder.h"
#include "record/RecordFile.h"
#include "ui/RecordWriter.h"
#include "ui/WaveformDisplay.h"

class QPushButton;
class QLabel;

class MainWindow : public QWidget, public PacketSink {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Reloads the language table for the stored language name and sets every caption again.
    void ApplyCaptions();
    // Opens the serial port with the window's line settings; sets the port-open flag.
    void OpenPort();
    // Stores each non-empty line and repaints the header strip when either is non-empty.
    void SetHeaderLines(const QString& line1, const QString& line2);
    // Starts the serial watcher once after a patient is created (until Setup or DEMO clear it).
    void BeginMonitoring();
    // The history list's Cancel: resumes the watcher when History View suspended it.
    void ResumeWatcherAfterHistory();
    // What follows a patient created by the New Patient dialog: live view, ready to record.
    void AcceptNewPatient();
    // Loads the last saved record for review again (after a language change), when there is one.
    void ReviewLastRecord();

    // Command handlers, one per button.
    void OnNewPatient();
    void OnRecord();
    void OnRealTimeView();
    void OnHistoryView();
    void OnSetup();
    void OnPrint();
    void OnPrevSecond();
    void OnNextSecond();
    void OnDemo();
    // DEMO with a record already chosen: the port closes and the record plays, repeating.
    void PlayDemo(const QString& path);
    void OnClose();
    void OnSerialByte(uint8_t byte);

    // Where the decoder hands each packet (live and demo playback).
    PacketModes Modes() const override;
    bool RecordStep(const DevicePacket& packet, const PacketFields& fields) override;
    void DrawPoint(uint8_t leadIndex, int16_t sample) override;
    void UpdateLeadLabels(uint8_t leadIndex, int speedCode, int gainCode, int filterCode,
                          int modeFlag, int rangeFlag) override;

    // Buttons, in the order they stand.
    QPushButton* newPatientButton = nullptr;
    QPushButton* recordButton = nullptr;
    QPushButton* realTimeButton = nullptr;
    QPushButton* historyButton = nullptr;
    QPushButton* printButton = nullptr;
    QPushButton* prevButton = nullptr;
    QPushButton* nextButton = nullptr;
    QPushButton* setupButton = nullptr;
    QPushButton* demoButton = nullptr;
    QPushButton* closeButton = nullptr;

    // Mode flags of the window (the shared ones live in App().state).
    bool patientReady = false;
    bool demoActive = false;
    bool demoStopRequest = false;
    bool monitoringStarted = false;
    int watcherRunning = 0;  // 1 running, 0 suspended or not started, -1 closed for a demo
    bool suspendedByHistory = false;
    bool analysisPending = false;
    int speedIndex = 1;       // 0, 1, 2 = 12.5, 25, 50 mm/s
    int printSpeedIndex = 1;
    // Review position.
    int currentSecond = 0;
    int pageCount = 0;
    int fixedLength = 0;
    QString demoFilePath;

    // Serial line settings for this run.
    int portNumber = 3;
    int baudRate = 115200;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;

    // Layout.
    std::array<QRect, 12> leadRect;
    std::array<QRect, 12> labelRect;
    QRect measurementRect;
    QRect diagnosisRect;
    QRect headerRect;
    QString headerLine1;
    QString headerLine2;

    // The picture of the lead panels and the record being stored or reviewed.
    WaveformDisplay display;
    RecordWriter recordWriter;
    ReviewRecord review;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ComputeLayout(int width, int height);
    void ResetAllLeadPens(bool erase);
    void SetPatientHeaderFromDatabase();
    void EndWindow();

    // Serial channel.
    bool OpenChannel();
    void CloseChannel();
    void StartWatcher();
    void SuspendWatcher();
    void ResumeWatcher();

    // Recording and review.
    void StartRecording();
    void StopRecording();
    bool LoadRecordForReview(const QString& path);

    // Demo playback.
    void StartDemoPlayback(const QString& path);
    void StopDemoPlayback();

    void OnFrame();
    void OnDemoTick();
    void ReportSaveError();
    // After a stopped recording: the record is shown with its analysis, ready for paging.
    void ReviewStoppedRecord();

    QTimer frameTimer_;
    QTimer demoTimer_;
    QElapsedTimer demoClock_;
    QFile demoFile_;
    qint64 demoPlayable_ = 0;    // the whole packets of the demo file, in bytes
    qint64 demoPacketsDue_ = 0;  // packets accounted for since playback started
    bool saveErrorShown_ = false;
    QLabel* statusLine_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    bool closing_ = false;
    // Recording waits for lead I to begin (see RecordStep): the lead of the last packet seen,
    // whether the recording still waits, and the packets waited so far.
    int lastPacketLead_ = -1;
    bool awaitingLeadStart_ = false;
    int leadStartWait_ = 0;

public:
    // Device link: the serial channel and the decoder it feeds. Demo playback calls
    // decoder.ProcessPacket; the window itself is the packet sink (recording, drawing).
    SerialChannel channel;
    EngineFeed engineFeed{App().engine};
    StreamDecoder decoder{&engineFeed, this};
};
