#pragma once
// The main window as a person uses it: a real window on a 1920 x 1080 screen, its own working
// folder with a fresh database and Data/, the recorder simulator on a pseudo-terminal linked as
// COM3, and every step taken through the window's buttons and dialogs.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "device/DevicePacket.h"
#include "dialogs/HistoryPatientListDialog.h"
#include "dialogs/PatientInfoDialog.h"
#include "dialogs/RecordListDialog.h"
#include "tests/db/DatabaseFixture.h"
#include "tests/support/PacketFile.h"
#include "tests/support/Simulator.h"
#include "tests/support/Modal.h"
#include "tools/SyntheticEcg.h"
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

// A record of the ECG model from the first packet of lead I.
inline std::vector<DevicePacket> NormalRecord(int seconds = kRecordSeconds, int gainCode = 1)
{
    EcgParameters params;
    EcgPreset("normal", params);
    params.seconds = seconds;
    params.noise = 10;
    params.gainCode = gainCode;
    return SynthesizeRecord(params);
}

class LiveWindow : public DatabaseFixture {
protected:
    void TearDown() override
    {
        window.reset();
        recorder.reset();
        DatabaseFixture::TearDown();
    }
    // The recorder on COM3 with `packets` as source.cv, holding back until Go(); plugged in
    // before the window opens its port.
    void PlugRecorder(const std::vector<DevicePacket>& packets, QStringList options = {})
    {
        window.reset();
        recorder.reset();
        WritePackets("source.cv", packets);
        recorder.emplace(dir.Path(), 3, options << "source.cv");
    }
    void OpenWindow()
    {
        window = std::make_unique<MainWindow>(app.context);
        window->show();
    }
    // New Patient, filled in and confirmed: the patient's folder.
    fs::path NewPatient()
    {
        int32_t id = 0;
        WhenShown<PatientInfoDialog>([&id](PatientInfoDialog& d) {
            for (QLineEdit* box : {d.nameEdit, d.clinicalNoEdit, d.ageEdit, d.heightEdit, d.weightEdit})
                box->setText("50");
            d.okButton->click();
            id = d.StoredId();
        });
        window->Buttons().newPatient->click();
        EXPECT_NE(id, 0) << prompt.LastText().toStdString();
        return fs::path("Data") / std::to_string(id);
    }
    // History View: the newest patient, View, its first record.
    void ViewFirstRecord()
    {
        WhenShown<HistoryPatientListDialog>([](HistoryPatientListDialog& d) {
            d.list->selectRow(0);
            WhenShown<RecordListDialog>([](RecordListDialog& records) {
                records.list->selectRow(0);
                records.okButton->click();
            });
            d.viewButton->click();
        });
        window->Buttons().history->click();
    }
    bool IsRecording() const { return window->Buttons().record->text() == "Stop Recording"; }
    bool IsReviewing() const { return window->Buttons().print->isEnabled(); }
    bool PanelHasTrace(int lead) const
    {
        return window->Display().Panel(lead) != window->Display().Grid();
    }
    static std::vector<fs::path> Records(const fs::path& folder)
    {
        std::vector<fs::path> records;
        for (const fs::directory_entry& e : fs::directory_iterator(folder))
            if (e.path().extension() == ".cv")
                records.push_back(e.path());
        return records;
    }

    std::optional<Simulator> recorder;
    std::unique_ptr<MainWindow> window;
};

}  // namespace live
