#pragma once
// The main window as a person uses it: a real window on a 1920 x 1080 screen, its own working
// folder with Data/, the recorder simulator on a pseudo-terminal linked as COM3.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "device/DevicePacket.h"
#include "tests/support/PacketFile.h"
#include "tests/support/Simulator.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/support/Screen.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestContext.h"
#include "ui/MainWindow.h"

namespace live {

namespace fs = std::filesystem;

// The window is laid out for the screen it starts on; the headless screen is given the size of
// the monitors the program is made for. Call it before the QApplication exists (from a
// namespace-scope initialiser of the test file).
inline bool UseFullHdScreen()
{
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen")
        qputenv("QT_QPA_PLATFORM",
                "offscreen:configfile=" CORVIDA_SOURCE_DIR "/tests/ui/screen-1920x1080.json");
    return true;
}

class LiveWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories("Data/1");
    }
    void TearDown() override { window.reset(); }
    void OpenWindow()
    {
        window = std::make_unique<MainWindow>(app.context);
        window->show();
    }
    // What the New Patient dialog leaves behind for patient 1.
    void NewPatient()
    {
        window->State().dataDirectory = "Data/1";
        window->State().currentPatientId = "1";
        window->BeginMonitoring();
        window->AcceptNewPatient();
    }
    void Feed(const std::vector<DevicePacket>& packets)
    {
        for (const DevicePacket& p : packets)
            window->Decoder().ProcessPacket(p);
    }
    bool PanelHasTrace(int lead) const { return ::PanelHasTrace(*window, lead); }

    TempDir dir{true};
    RecordingPrompt prompt;
    TestContext app{prompt};
    std::unique_ptr<MainWindow> window;
};

}  // namespace live
