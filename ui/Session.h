#pragma once
// The operating mode of the main window and the state of the serial watcher, in one place. Every
// command asks Refusal() first; the window carries out what the transitions decide (the channel,
// the buttons, the messages). Plain C++, no Qt.

enum class Mode { Idle, Live, Recording, Review, Demo };

// The commands that can be refused.
enum class Command { NewPatient, Record, RealTimeView, HistoryView, Setup, Print, Demo, Close };

// The refusal of Start Record with the port closed; the window shows it with the plain caption
// and no icon.
inline constexpr char kCheckPortKey[] = "Please Check the port setting!";

class Session {
public:
    // What the window is doing. Review (a stored record on the screen) lies over Idle and Live;
    // it can lie over Recording too: a record chosen in History View while a patient is ready,
    // then Start Record, keeps the review on screen while the stream is stored.
    Mode Current() const;

    // The key of the message a command is refused with now, or null when it may run. Start
    // Record while recording is Stop Record, and DEMO during the demo is STOP: both always run.
    const char* Refusal(Command command) const;

    bool Recording() const { return activity_ == Activity::Recording; }
    bool Demo() const { return activity_ == Activity::Demo; }
    bool Review() const { return review_; }
    // A new patient was made and nothing since has used it up: Start Record may begin.
    bool PatientReady() const { return activity_ == Activity::Live; }
    bool PortOpen() const { return portOpen_; }

    // A new patient: live and ready to record, the review gone. Recording and the demo go on
    // as they are.
    void AcceptPatient();
    void StartRecording();
    // The patient is used up by the record: the next one needs a new patient.
    void StopRecording();
    // Print and a reopened port use the patient up as well; a recording goes on.
    void ForgetPatient();
    // The port is closed for the demo and the watcher with it; a recording ends.
    void StartDemo();
    void StopDemo();
    void EnterReview() { review_ = true; }
    void LeaveReview() { review_ = false; }
    void SetPortOpen(bool open) { portOpen_ = open; }

    // The watcher. Each returns true when the window must act on the channel now.
    // Begins watching once after a patient is made, until Setup or DEMO forget it.
    bool BeginMonitoring();
    void ForgetMonitoring() { monitoringStarted_ = false; }
    // History View suspends a running watcher while records are browsed, and resumes it when the
    // list is left, whatever was chosen there.
    bool SuspendForHistory();
    void ResumeAfterHistory() { watcher_ = Watcher::Running; }
    // Real-Time View resumes a watcher that is not running.
    bool ResumeForLive();

private:
    enum class Activity { Idle, Live, Recording, Demo };
    enum class Watcher { Stopped, Running, ClosedForDemo };

    Activity activity_ = Activity::Idle;
    bool review_ = false;
    bool portOpen_ = false;
    Watcher watcher_ = Watcher::Stopped;
    bool monitoringStarted_ = false;
};
