#include "ui/Session.h"

namespace {
constexpr char kStopDemo[] = "Please stop the Demo first";
constexpr char kStopRecording[] = "Please stop the recording";
}  // namespace

Mode Session::Current() const
{
    if (activity_ == Activity::Demo)
        return Mode::Demo;
    if (activity_ == Activity::Recording)
        return Mode::Recording;
    if (review_)
        return Mode::Review;
    return activity_ == Activity::Live ? Mode::Live : Mode::Idle;
}

const char* Session::Refusal(Command command) const
{
    const bool demo = Demo();
    const bool recording = Recording();
    switch (command) {
    case Command::NewPatient:
    case Command::HistoryView:
    case Command::Setup:
    case Command::Close:
        if (recording)
            return kStopRecording;
        return demo ? kStopDemo : nullptr;
    case Command::Record:
        if (recording)
            return nullptr;
        if (demo)
            return kStopDemo;
        if (!portOpen_)
            return kCheckPortKey;
        return PatientReady() ? nullptr : "Please bulid new patient";
    case Command::RealTimeView:
    case Command::Print:
        return demo ? kStopDemo : nullptr;
    case Command::Demo:
        return recording ? kStopRecording : nullptr;
    }
    return nullptr;
}

void Session::AcceptPatient()
{
    review_ = false;
    if (activity_ == Activity::Idle)
        activity_ = Activity::Live;
}

void Session::StartRecording()
{
    activity_ = Activity::Recording;
}

void Session::StopRecording()
{
    activity_ = Activity::Idle;
}

void Session::ForgetPatient()
{
    if (activity_ == Activity::Live)
        activity_ = Activity::Idle;
}

void Session::StartDemo()
{
    activity_ = Activity::Demo;
    watcher_ = Watcher::ClosedForDemo;
}

void Session::StopDemo()
{
    activity_ = Activity::Idle;
    review_ = false;
}

bool Session::BeginMonitoring()
{
    if (monitoringStarted_)
        return false;
    monitoringStarted_ = true;
    watcher_ = Watcher::Running;
    return true;
}

bool Session::SuspendForHistory()
{
    if (!portOpen_ || watcher_ != Watcher::Running)
        return false;
    watcher_ = Watcher::Stopped;
    return true;
}

bool Session::ResumeForLive()
{
    if (!portOpen_ || watcher_ == Watcher::Running)
        return false;
    watcher_ = Watcher::Running;
    return true;
}
