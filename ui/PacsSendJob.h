#pragma once
// Sending a patient's records to the PACS, waveform and report of each, on a thread of its own.
// The window owns it, so the outcome arrives whichever window is open when the PACS answers; one
// send runs at a time.
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "db/PatientRecord.h"
#include "dicom/DicomRecord.h"
#include "dicom/PacsSender.h"

class LanguageTable;
class QThread;

class PacsSendJob : public QObject {
    Q_OBJECT
public:
    explicit PacsSendJob(QObject* parent = nullptr);
    // A send still running is waited for: the PACS timeouts bound its time, and its thread must
    // not outlive the object it reports to.
    ~PacsSendJob() override;

    // Sends the records (paths) of the patient (its row for the report, its DICOM facts) to the
    // PACS that configPath's [Pacs] names, the reports and statements in language. Nothing
    // starts while a send runs.
    void Start(const PatientRecord& row, const DicomPatient& patient, const QStringList& records,
               const LanguageTable& language, const QString& configPath);
    bool Running() const { return thread_ != nullptr; }

signals:
    void runningChanged(bool running);
    // One outcome per object, record by record, waveform first.
    void finished(const std::vector<ObjectOutcome>& outcomes);

private:
    QThread* thread_ = nullptr;
};
