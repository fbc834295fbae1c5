#pragma once
// What the main window keeps between commands beside its mode (ui/Session.h): the patient and
// the records in hand, and the results of the last analysed record. The dialogs hand their
// changes to the window, which writes them here.
#include <QString>
#include <optional>

#include "analysis/AnalysisTypes.h"
#include "analysis/Reading.h"
#include "db/PatientRecord.h"

struct RunState {
    QString dataDirectory = "Data";
    QString currentPatientId;  // the patient created last
    QString currentPatientDate;  // its NewDate: with the ID, which patient it is
    QString viewedPatientId;   // the patient chosen last in the history list
    QString currentRecordPath;
    QString lastSavedRecordPath;  // the record to review and print
    QString demoFilePath;
    // The patient the header strip names, kept so a language change can name it again.
    std::optional<PatientRecord> headerPatient;
    // Results of the last analysed record.
    ConclusionLines conclusion;
    int firstLine = 9;
    int leadsSeen = 0;
    // Its latest confirmed reading, which the panels show in place of the machine's.
    std::optional<Reading> reading;
};
