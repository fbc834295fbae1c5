// Recording from the recorder into the patient's folder and the review that follows Stop,
// driven through the real window; the recorder is the simulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>

#include <QPushButton>
#include <QRegularExpression>
#include <optional>

#include "app/TerminationSignals.h"
#include "tests/support/SmallDisk.h"
#include "tests/ui/LiveWindow.h"
#include "tools/SyntheticEcg.h"

using namespace live;

namespace {

const bool kScreen = UseFullHdScreen();

std::vector<DevicePacket> NormalRecord(int seconds = kRecordSeconds)
{
    EcgParameters params;
    EcgPreset("normal", params);
    params.seconds = seconds;
    params.noise = 10;
    return SynthesizeRecord(params);
}

class Recording : public LiveWindow {
protected:
    fs::path RecordPath() const { return window->State().currentRecordPath.toStdString(); }
    void StartRecord()
    {
        window->Buttons().record->click();
        ASSERT_TRUE(window->GetSession().Recording()) << prompt.LastText().toStdString();
    }
    void StopRecord()
    {
        window->Buttons().record->click();
        ASSERT_FALSE(window->GetSession().Recording());
    }
};

}  // namespace

TEST_F(Recording, ReviewLabelsEveryPanelWithTheRecordsOwnStateAndTheReviewSpeed)
{
    // A fresh session reviews a 20 mm/mV, 60 Hz record: no live packet has set any label.
    EcgParameters params;
    EcgPreset("normal", params);
    params.gainCode = 2;
    params.filterCode = 3;
    const std::vector<DevicePacket> packets = SynthesizeRecord(params);
    WritePackets("Data/1/m202603071405.cv", packets);
    OpenWindow();
    window->State().lastSavedRecordPath = "Data/1/m202603071405.cv";
    window->ReviewLastRecord();
    ASSERT_TRUE(window->GetSession().Review());
    window->grab();
    const char* const texts[5] = {"20mm/s", "60Hz", "20mm/mV", "MONITOR", "IN RANGE"};
    for (int lead = 0; lead < kLeadCount; ++lead)
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(window->Display().LabelText(lead, k + 1).toStdString(), texts[k]) << lead << " " << k;

    // Live drawing keeps its own speed.
    window->OnRealTimeView();
    Feed(std::vector<DevicePacket>(packets.begin(), packets.begin() + 800));
    window->grab();
    EXPECT_EQ(window->Display().LabelText(kLeadI, 1), "25mm/s");
    EXPECT_EQ(window->Display().LabelText(kLeadI, 3), "20mm/mV");
}

TEST_F(Recording, UnpluggedRecorderStopStillStoresEverythingAndReviewsIt)
{
    const std::vector<DevicePacket> source = NormalRecord();
    WritePackets("source.cv", source);
    Simulator recorder(dir.Path(), 3, {"--speed", "8", "source.cv"});
    OpenWindow();
    NewPatient();
    StartRecord();
    recorder.Go();
    ASSERT_TRUE(RunUntil([&] { return window->Decoder().DisplayCounter() >= 10 * 800; }, 20000));
    recorder.Unplug();
    RunFor(300);
    const uint32_t received = window->Decoder().DisplayCounter();
    ASSERT_LT(received, uint32_t(kPacketsPerRecord));
    // Still recording, the file catches up with the stalled stream within about a second.
    EXPECT_TRUE(RunUntil([&] { return fs::file_size(RecordPath()) == received * kPacketBytes; },
                         1500));
    StopRecord();

    // No packet follows the Stop, and none is needed: the rest is on disk and under review.
    const std::vector<DevicePacket> stored = ReadPackets(RecordPath());
    EXPECT_EQ(stored.size(), received);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), source.begin()));
    EXPECT_TRUE(window->GetSession().Review());
    EXPECT_EQ(window->GetSession().position.pageCount, int(received / 800));
    EXPECT_EQ(window->GetSession().position.currentSecond, int(received / 800));
    // Fewer than twelve leads: no diagnosis and no measurements.
    EXPECT_LT(window->State().leadsSeen, 12);
    EXPECT_EQ(app.engine->Measurements().heartRate, 0);
    EXPECT_FALSE(prompt.Texts().contains("save error"));
}

TEST_F(Recording, DiskFailuresAreReportedAndWhatFittedIsKept)
{
    // Start is refused when the file cannot be created.
    for (const bool readOnlyMount : {false, true}) {
        SCOPED_TRACE(readOnlyMount ? "a read-only file system" : "a file where the folder should be");
        const fs::path folder = readOnlyMount ? "Data/8" : "Data/9";
        std::optional<SmallDisk> disk;
        if (!readOnlyMount)
            std::ofstream(folder) << "in the way";
        else if (!disk.emplace(folder, "64k", MS_RDONLY).Mounted())
            continue;  // mounting needs root
        prompt.Clear();
        OpenWindow();
        window->GetSession().SetPortOpen(true);
        NewPatient();
        window->State().dataDirectory = QString::fromStdString(folder.string());
        window->State().lastSavedRecordPath.clear();
        window->Buttons().record->click();
        EXPECT_TRUE(prompt.Texts() == QStringList{"save error"}) << prompt.LastText().toStdString();
        EXPECT_FALSE(window->GetSession().Recording());
        EXPECT_EQ(window->Buttons().record->text(), "Start Recording");
        EXPECT_TRUE(window->State().lastSavedRecordPath.isEmpty());
        EXPECT_TRUE(window->GetSession().PatientReady());  // the user may fix the folder and try again
        window.reset();
    }

    // A disk that is full for every write: each failed write is reported and recording goes on.
    prompt.Clear();
    OpenWindow();
    window->GetSession().SetPortOpen(true);
    NewPatient();
    StartRecord();
    fs::remove(RecordPath());
    fs::create_symlink("/dev/full", RecordPath());
    Feed(NormalRecord());
    RunFor(50);
    EXPECT_TRUE(prompt.Texts() == QStringList{"save error"});
    EXPECT_TRUE(window->GetSession().Recording());
    Feed(NormalRecord(3));
    StopRecord();
    RunFor(50);
    // The final partial block is reported like a full one.
    EXPECT_TRUE(prompt.Texts() == QStringList({"save error", "save error"}));

    // A disk full after the first block: every second that fitted is kept for review, nothing torn.
    const SmallDisk disk("Data/2", "200k");
    if (!disk.Mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    prompt.Clear();
    NewPatient();
    window->State().dataDirectory = "Data/2";
    Feed({MakePacket(kLeadV1, 500)});  // the next record starts with the next turn of lead I
    StartRecord();
    const std::vector<DevicePacket> first = NormalRecord();
    Feed(first);
    Feed(NormalRecord());  // does not fit any more
    RunFor(50);
    EXPECT_TRUE(prompt.Texts() == QStringList{"save error"});
    StopRecord();
    const std::vector<DevicePacket> stored = ReadPackets(RecordPath());
    EXPECT_EQ(fs::file_size(RecordPath()) % kBytesPerSecond, 0u);
    ASSERT_GE(stored.size(), first.size());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), stored.begin()));
    EXPECT_EQ(window->GetSession().position.currentSecond, 48);
    EXPECT_EQ(window->State().leadsSeen, 12);
}

TEST_F(Recording, EachRecordKeepsItsOwnFileAndNothingRecordedLeavesNone)
{
    OpenWindow();
    window->GetSession().SetPortOpen(true);
    NewPatient();
    StartRecord();
    const fs::path first = RecordPath();
    EXPECT_TRUE(QRegularExpression("^Data/1/m\\d{12}\\.cv$")
                    .match(window->State().currentRecordPath).hasMatch()) << first;
    EXPECT_EQ(window->State().lastSavedRecordPath, window->State().currentRecordPath);
    EXPECT_EQ(window->Buttons().record->text(), "Stop Recording");
    EXPECT_EQ(fs::file_size(first), 0u);  // made at Start
    const std::vector<DevicePacket> firstPackets = NormalRecord(2);
    Feed(firstPackets);
    StopRecord();
    EXPECT_EQ(window->Buttons().record->text(), "Start Recording");
    EXPECT_FALSE(window->GetSession().PatientReady());  // the next record needs New Patient

    NewPatient();
    StartRecord();
    EXPECT_NE(RecordPath(), first);
    EXPECT_EQ(RecordPath().parent_path(), first.parent_path());
    // The stream goes on in lead I, so this recording waits for the next turn of lead I.
    const std::vector<DevicePacket> restOfTurn = NormalRecord(48);
    const std::vector<DevicePacket> nextTurn = NormalRecord(3);
    Feed(restOfTurn);
    EXPECT_EQ(ReadPackets(RecordPath()).size(), 0u);
    Feed(nextTurn);
    StopRecord();
    EXPECT_EQ(ReadPackets(first), firstPackets);
    EXPECT_EQ(ReadPackets(RecordPath()), nextTurn);

    // Stop before the stream came to lead I, and a stream of fillers only.
    const QString last = window->State().lastSavedRecordPath;
    const DevicePacket filler{kFillerByte, kFillerByte, kFillerByte, kFillerByte};
    for (const DevicePacket& p : {MakePacket(kLeadV1, 500), filler}) {
        prompt.Clear();
        NewPatient();
        Feed({MakePacket(kLeadV1, 500)});  // the stream is in the middle of a lead
        StartRecord();
        Feed(std::vector<DevicePacket>(2000, p));
        StopRecord();
        EXPECT_EQ(std::distance(fs::directory_iterator("Data/1"), {}), 2);
        EXPECT_TRUE(prompt.Texts() == QStringList{"No data!"}) << prompt.LastText().toStdString();
        EXPECT_FALSE(window->GetSession().Review());
        EXPECT_EQ(window->State().lastSavedRecordPath, last);
    }

    // The window ending mid-record keeps the buffered packets.
    NewPatient();
    StartRecord();
    const fs::path path = RecordPath();
    Feed({MakePacket(kLeadV1, 500)});
    Feed(firstPackets);
    window.reset();
    EXPECT_EQ(ReadPackets(path), firstPackets);
}

TEST_F(Recording, TerminatedWhileRecordingKeepsEveryPacketAndTheFileGrowsMeanwhile)
{
    const std::vector<DevicePacket> source = NormalRecord();
    WritePackets("source.cv", source);
    Simulator recorder(dir.Path(), 3, {"--speed", "4", "--loop", "source.cv"});
    OpenWindow();
    NewPatient();
    StartRecord();
    // What the program does (app/main.cpp) when it is ended from outside.
    TerminationSignals ending;
    ASSERT_TRUE(ending.Installed());
    QObject::connect(&ending, &TerminationSignals::received,
                     [](int number) { QCoreApplication::exit(128 + number); });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, window.get(),
                     &MainWindow::EndRecording);
    recorder.Go();
    // Long before the first 48 s are complete, the file holds what came, a second behind at most.
    ASSERT_TRUE(RunUntil([&] { return fs::file_size(RecordPath()) >= 4 * kBytesPerSecond; },
                         20000));
    const uint32_t received = window->Decoder().DisplayCounter();
    EXPECT_LT(received, uint32_t(kPacketsPerRecord));
    EXPECT_LE(received * kPacketBytes - fs::file_size(RecordPath()), uint64_t(kBytesPerSecond));

    ::kill(::getpid(), SIGTERM);
    EXPECT_EQ(QCoreApplication::exec(), 128 + SIGTERM);
    EXPECT_FALSE(window->GetSession().Recording());
    const std::vector<DevicePacket> stored = ReadPackets(RecordPath());
    EXPECT_EQ(stored.size(), window->Decoder().DisplayCounter());
    EXPECT_GE(stored.size(), received);
    ASSERT_LT(stored.size(), source.size());
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), source.begin()));
}
