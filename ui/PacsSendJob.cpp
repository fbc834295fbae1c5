#include "ui/PacsSendJob.h"

#include <QThread>

#include "db/ReadingStore.h"
#include "dicom/DicomExport.h"
#include "foundation/LanguageTable.h"
#include "report/ReportPdf.h"

namespace {

constexpr int kReportSpeedIndex = 1;  // 25 mm/s, the program's default print speed

}  // namespace

PacsSendJob::PacsSendJob(QObject* parent) : QObject(parent) {}

PacsSendJob::~PacsSendJob()
{
    if (thread_) {
        thread_->wait();
        delete thread_;
    }
}

void PacsSendJob::Start(const PatientRecord& row, const DicomPatient& patient,
                        const QStringList& records, const LanguageTable& language,
                        const QString& configPath)
{
    if (thread_)
        return;
    // Each record goes out with its latest reading, looked up here: the database is this
    // thread's. A record whose reading cannot be known is not sent.
    std::vector<std::filesystem::path> paths;
    std::vector<std::optional<Reading>> readings;
    auto unknown = std::make_shared<std::vector<ObjectOutcome>>();
    for (const QString& record : records) {
        const LatestReading latest = LatestReadingOf(record);
        if (latest.failed) {
            for (DicomObjectKind kind : {DicomObjectKind::Waveform, DicomObjectKind::Report})
                unknown->push_back({kind, record.toStdString(), SendStatus::ReadingUnknown, {}});
            continue;
        }
        paths.push_back(record.toStdString());
        readings.push_back(latest.reading);
    }
    // The thread works on copies only (settings read afresh, the texts, the patient's row), so
    // neither a dialog nor a language change can touch it.
    const DicomSettings settings = ReadDicomSettings(configPath.toStdString());
    auto outcomes = std::make_shared<std::vector<ObjectOutcome>>();
    thread_ = QThread::create([outcomes, unknown, paths, readings, settings, row, patient, texts = language] {
        for (size_t i = 0; i < paths.size(); ++i) {
            const Reading* reading = readings[i] ? &*readings[i] : nullptr;
            auto report = [&row, &texts, reading](const std::filesystem::path& path, std::string& pdf) {
                const std::optional<QByteArray> data = ReportPdfData(
                    QString::fromStdString(path.string()), &row, kReportSpeedIndex, texts, reading);
                if (data)
                    pdf = data->toStdString();
                return data.has_value();
            };
            const std::vector<ObjectOutcome> sent =
                SendRecords({paths[i]}, patient, texts, settings, report, {readings[i]});
            outcomes->insert(outcomes->end(), sent.begin(), sent.end());
        }
        outcomes->insert(outcomes->end(), unknown->begin(), unknown->end());
    });
    connect(thread_, &QThread::finished, this, [this, outcomes] {
        thread_->deleteLater();
        thread_ = nullptr;
        emit runningChanged(false);
        emit finished(*outcomes);
    });
    thread_->start();
    emit runningChanged(true);
}
