#include "ui/PacsSendJob.h"

#include <QThread>

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
    std::vector<std::filesystem::path> paths;
    for (const QString& record : records)
        paths.push_back(record.toStdString());
    // The thread works on copies only (settings read afresh, the texts, the patient's row), so
    // neither a dialog nor a language change can touch it.
    const DicomSettings settings = ReadDicomSettings(configPath.toStdString());
    auto outcomes = std::make_shared<std::vector<ObjectOutcome>>();
    thread_ = QThread::create([outcomes, paths, settings, row, patient, texts = language] {
        auto report = [&row, &texts](const std::filesystem::path& path, std::string& pdf) {
            const std::optional<QByteArray> data = ReportPdfData(
                QString::fromStdString(path.string()), &row, kReportSpeedIndex, texts);
            if (data)
                pdf = data->toStdString();
            return data.has_value();
        };
        *outcomes = SendRecords(paths, patient, texts, settings, report);
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
