#pragma once
// The one full-screen window: command buttons, twelve lead panels, measurement and diagnosis
// panels, the header strip. Every command asks the session (ui/Session.h) first and refuses
// with a message when it does not fit; the dialogs it opens report back through signals.
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>

#include "dialogs/AppContext.h"
#include "device/PacketSink.h"
#include "acquisition/SerialChannel.h"
#include "acquisition/StreamRecorder.h"
#include "db/RecordingHold.h"
#include "device/StreamDecoder.h"
#include "record/EngineFeed.h"
#include "record/RecordFile.h"
#include "dialogs/SetupDialog.h"
#include "ui/AnalysisPanels.h"
#include "ui/DemoPlayer.h"
#include "ui/HeaderStrip.h"
#include "report/PrintJob.h"
#include "ui/PacsSendJob.h"
#include "ui/RecordReview.h"
#include "ui/RunState.h"
#include "ui/Session.h"
#include "ui/WaveformDisplay.h"
#include "ui/WindowLayout.h"

class QPushButton;
struct PatientRecord;

class MainWindow : public QWidget, private PacketSink {
    Q_OBJECT
public:
    explicit MainWindow(const AppContext& context, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Ends a recording as Stop Record does, without a review or a message box: for the end of
    // the program (a signal, the desktop session ending).
    void EndRecording();
    // DEMO with a record already chosen: the port closes and the record plays, repeating.
    void PlayDemo(const QString& path);

    // What the user sees: the buttons and the lead panels.
    const WindowButtons& Buttons() const { return buttons_; }
    const WaveformDisplay& Display() const { return display_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Reloads the language table for the stored language name and sets every caption again.
    void ApplyCaptions();
    // Loads the last saved record for review again (after a language change), when there is one.
    void ReviewLastRecord();

    // Command handlers, one per button.
    void OnNewPatient();
    void OnRecord();
    void OnRealTimeView();
    void OnHistoryView();
    void OnSetup();
    void OnPrint();
    // The reading of the record under review; the reading list of every record still to be read.
    void OnRead();
    void OnReadingList();
    void OnPrevSecond();
    void OnNextSecond();
    void OnDemo();
    void OnClose();

    // Where the decoder hands each packet (live and demo playback).
    PacketModes Modes() const override;
    bool RecordStep(const DevicePacket& packet, const PacketFields& fields) override;
    void DrawPoint(uint8_t leadIndex, int16_t sample) override;
    void UpdateLeadLabels(uint8_t leadIndex, int speedCode, int gainCode, int filterCode,
                          int modeFlag, int rangeFlag) override;

    // Starts the serial watcher once after a patient is created (until Setup or DEMO clear it).
    void BeginMonitoring();
    // What follows a patient created by the New Patient dialog: live view, ready to record.
    void AcceptNewPatient();
    void Refuse(const char* key);
    void SetPatientHeaderFromDatabase();
    void EndWindow();
    // The dialogs' reports.
    void OnPatientCreated(int32_t id, const PatientRecord& facts);
    void OnPatientDeleted(const QString& id);
    void OnRecordPathChanged(const QString& path);
    void OnLanguageApplied();

    // Serial channel.
    void OpenPort();
    bool OpenChannel();

    // Recording and review.
    void StartRecording();
    // Stop Record, or a recording that ended by itself: the record is shown when one was kept.
    void StopRecording();
    // Ends the recording and closes the record file; false when nothing was kept. How it ended
    // is said when tellUser.
    bool FinishRecordFile(bool tellUser);
    bool LoadRecordForReview(const QString& path);
    // After a stopped recording: the record is shown with its analysis, ready for paging.
    void ReviewStoppedRecord();
    void EnableReviewButtons(bool print, bool prev, bool next);

    void OnFrame();

    AppContext context_;
    Session session_;
    RunState state_;
    RunSettings line_;  // serial line and speeds for this run
    WindowLayout layout_;
    WindowButtons buttons_;
    HeaderStrip* header_ = nullptr;

    // The picture of the lead panels, the measurement and diagnosis panels, and the record being
    // stored or reviewed.
    WaveformDisplay display_;
    AnalysisPanels panels_;
    // The patient being recorded cannot be deleted, here or on another station.
    RecordingHold recordingHold_;

    QTimer frameTimer_;
    QString previousRecordPath_;  // the last saved record before this recording
    bool closing_ = false;

    // Device link: the recording, fed by the serial channel's watcher thread, the channel, and
    // the decoder of the display that the channel feeds on this thread. Demo playback feeds
    // decoder_.ProcessPacket; the window itself is the display's packet sink (drawing).
    StreamRecorder recorder_;
    SerialChannel channel_;
    EngineFeed engineFeed_;
    StreamDecoder decoder_;
    DemoPlayer demo_;
    PrintJob printJob_;
    PacsSendJob pacsSend_;
    RecordReview review_;
};
