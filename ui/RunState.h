#pragma once
// What the main window keeps between commands beside its mode (ui/Session.h) and the record under
// review (ui/RecordReview.h): the patient and the records in hand. The dialogs hand their changes
// to the window, which writes them here.
#include <QString>

struct RunState {
    QString dataDirectory = "Data";
    QString currentPatientId;  // the patient created last
    QString currentPatientDate;  // its NewDate: with the ID, which patient it is
    QString viewedPatientId;   // the patient chosen last in the history list
    QString currentRecordPath;
    QString lastSavedRecordPath;  // the record to review and print
    QString demoFilePath;
};
