#pragma once
// The application object: settings, the language table, the database connection, the analysis
// engine and the run-time state every window shares.
#include <QString>
#include <memory>

#include "analysis/AnalysisEngine.h"
#include "app/LanguageTable.h"

class MainWindow;
class Prompt;

// The two persistent settings of Settings.ini and where that file lives.
struct AppSettings {
    QString portText;      // [CommNo] Path, decimal digits ("3" means COM3)
    QString languageName;  // [Language] Path, a language's display name
    QString configPath;    // Settings.ini beside the executable
};

// Process-wide state shared by the main window and its dialogs.
struct RunState {
    bool portOpen = false;
    bool recording = false;
    bool review = false;
    bool playback = false;
    QString dataDirectory = "Data";
    QString currentPatientId;
    QString viewedPatientId;
    QString currentRecordPath;
    QString lastSavedRecordPath;
    // Header texts of the current patient.
    QString patientName;
    QString patientClinicalNo;
    QString patientSex;
    bool patientHeaderValid = false;
    // Results of the last analysed record.
    ConclusionLines conclusion;
    int firstLine = 9;
    int leadsSeen = 0;
};

class Application {
public:
    static Application& Instance();

    // The start-up sequence; false when the program must end at once (the database cannot be
    // opened: the error has been shown).
    bool InitInstance();
    // Runs the main window until CLOSE; returns the exit status. With a demo path the window
    // starts playing that record as DEMO would.
    int Run(const QString& demoPath = QString());
    void ExitInstance();

    void BuildSettingsPath();
    // Port number from the port text: plain decimal conversion, non-digits give 0.
    int PortNumber() const;

    QString Translate(const char* key) const;
    QString Translate(const QString& key) const;

    // Clears the measurement set, the per-lead blocks and the ten conclusion lines.
    void ClearAnalysisResults();

    Prompt& GetPrompt() { return *prompt_; }
    void SetPrompt(Prompt* prompt);  // tests install a recording prompt; null restores the real one

    AppSettings settings;
    LanguageTable language;
    RunState state;
    AnalysisEngine engine;
    MainWindow* mainWindow = nullptr;

private:
    Application();
    std::unique_ptr<Prompt> ownPrompt_;
    Prompt* prompt_;
};

// Shorthands for the one application object.
inline Application& App() { return Application::Instance(); }
inline QString Translate(const char* key) { return App().Translate(key); }
