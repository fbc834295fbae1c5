// corvida-export: a record as DICOM, as files or sent to the PACS of Settings.ini.
//
//   corvida-export [--patient-id ID] [--language NAME] [--settings FILE]
//                  (--dicom OUT.dcm | --report-dicom OUT.dcm | --send) FILE.cv...
//
// The patient is looked up in the patient database of the program's Settings.ini, by --patient-id
// or else by the record's folder Data/<id>, as the Print button does. Exit status 0 when every
// object was written or accepted by the PACS, 1 when any was not, 2 on bad input.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <map>

#include "foundation/LanguageTable.h"
#include "foundation/ProfileFile.h"
#include "foundation/WholeFile.h"
#include "db/AppDatabase.h"
#include "db/DatabaseSettings.h"
#include "db/PatientFolder.h"
#include "db/PatientOrder.h"
#include "db/PatientStore.h"
#include "dicom/DicomExport.h"
#include "history/DicomPatientRow.h"
#include "record/RecordFile.h"
#include "report/ReportRecord.h"
#include "report/ReportPdf.h"

#include "dcmtk/config/osconfig.h"
#include "dcmtk/oflog/oflog.h"

namespace {

constexpr int kReportSpeedIndex = 1;  // 25 mm/s, the program's default print speed

int Fail(int status, const QString& text)
{
    std::fprintf(stderr, "corvida-export: %s\n", qPrintable(text));
    return status;
}

struct PatientAndOrder {
    PatientRecord row;
    std::optional<PatientOrder> order;
};

// The patient rows of the given numbers with their orders, or an error text.
QString LookUpPatients(const DatabaseSettings& where, const QStringList& ids,
                       std::map<QString, PatientAndOrder>& rows)
{
    AppDatabase& db = AppDatabase::Instance();
    if (QString error; !OpenPatientDatabase(where, error))
        return QString("the patient database %1 cannot be opened: %2").arg(DatabaseLocation(where), error);
    QString error;
    for (const QString& id : ids) {
        const PatientLookup found = FindPatient(id);
        const OrderLookup order = found.row ? FindPatientOrder(found.row->PatientID) : OrderLookup();
        if (found.queryFailed || order.queryFailed)
            error = "the patient query failed: " + db.LastError();
        else if (!found.row)
            error = QString("there is no patient %1 in the patient database").arg(id);
        else
            rows[id] = {*found.row, order.order};
        if (!error.isEmpty())
            break;
    }
    db.Close();
    return error;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    // Our own messages say what failed; the toolkit's log would only repeat it.
    OFLog::configure(OFLogger::OFF_LOG_LEVEL);
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString programSettings = QDir(appDir).filePath("Settings.ini");
    const DatabaseSettings where = ReadDatabaseSettings(programSettings.toStdString());
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Writes a record (.cv) as DICOM: the ECG waveform (General ECG, with the automatic\n"
        "measurements and conclusion as unconfirmed machine annotations) and the printed report\n"
        "(Encapsulated PDF) of the same study, to files or to the PACS of Settings.ini.\n"
        "Settings.ini: [Dicom] UidRoot=<your organisation's UID root>; for --send also\n"
        "[Pacs] Host=, Port=, CalledAETitle=, CallingAETitle= (default CORVIDA), Timeout=\n"
        "(seconds, default 30). Each object sent gets one line; exit status 1 unless the PACS\n"
        "accepted every one.\n"
        "The patient comes from the database of " + programSettings + ", always:\n"
        "  " + DatabaseLocation(where));
    parser.addHelpOption();
    const QCommandLineOption patientOption("patient-id",
        "Patient number (default: the record's folder Data/<number>).", "ID");
    const QCommandLineOption languageOption("language", "Language by display name.", "NAME");
    const QCommandLineOption settingsOption("settings",
        "Settings laid over the program's Settings.ini: each section FILE names replaces that "
        "section; the others, and always [Database], stay as Settings.ini has them.", "FILE");
    const QCommandLineOption dicomOption("dicom", "Write the ECG waveform object.", "OUT.dcm");
    const QCommandLineOption reportOption("report-dicom", "Write the report object.", "OUT.dcm");
    const QCommandLineOption sendOption("send", "Send both objects of every record to the PACS.");
    parser.addOptions({patientOption, languageOption, settingsOption, dicomOption, reportOption,
                       sendOption});
    parser.addPositionalArgument("FILE.cv", "The record files.", "FILE.cv...");
    if (!parser.parse(QCoreApplication::arguments()))
        return Fail(2, parser.errorText());
    if (parser.isSet("help")) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    const QStringList files = parser.positionalArguments();
    const bool send = parser.isSet(sendOption);
    const QString waveformOut = parser.value(dicomOption), reportOut = parser.value(reportOption);
    if (send == (parser.isSet(dicomOption) || parser.isSet(reportOption)))
        return Fail(2, "give --send, or --dicom and/or --report-dicom (see --help)");
    if (files.isEmpty())
        return Fail(2, "no record file given (see --help)");
    if (!send && files.size() != 1)
        return Fail(2, "--dicom and --report-dicom write one record; give one FILE.cv");
    if ((parser.isSet(dicomOption) && waveformOut.isEmpty())
        || (parser.isSet(reportOption) && reportOut.isEmpty()))
        return Fail(2, "an output file is needed after --dicom and --report-dicom");
    for (const QString& out : {waveformOut, reportOut})
        if (!out.isEmpty() && ClashesWithRecords(out.toStdString(), {files.front().toStdString()}))
            return Fail(2, QString("will not write \"%1\": it is a record file").arg(out));

    // A tool must never read another database than the program it stands beside.
    if (!where.problem.isEmpty())
        return Fail(2, programSettings + ": " + where.problem);
    std::string profile;
    ReadRegularFile(programSettings.toStdString(), profile);
    QString settingsFile = programSettings;
    if (parser.isSet(settingsOption)) {
        const QString overlay = parser.value(settingsOption);
        std::string text;
        if (!ReadRegularFile(overlay.toStdString(), text))
            return Fail(2, QString("cannot read the settings file \"%1\"").arg(overlay));
        if (HasProfileSection(text, "Database"))
            std::fprintf(stderr, "corvida-export: %s: [Database] is not taken: the patient database "
                                 "is always the one of %s\n", qPrintable(overlay), qPrintable(programSettings));
        profile = OverlayProfile(profile, text);
        settingsFile = overlay + " over " + programSettings;
    }
    const DicomSettings settings = DicomSettingsOf(profile);
    for (const std::string& problem : settings.problems)
        std::fprintf(stderr, "corvida-export: %s: %s\n", qPrintable(settingsFile), problem.c_str());
    if (settings.uidRoot.empty())
        return Fail(2, QString("%1 sets no [Dicom] UidRoot, under which the objects' UIDs are "
                               "issued").arg(settingsFile));
    if (send && !settings.pacs)
        return Fail(2, QString("%1 sets up no PACS ([Pacs] Host, Port, CalledAETitle)")
                           .arg(settingsFile));

    // The report and the conclusion use the language table of the program, as corvida-report.
    LanguageTable texts;
    QString language = parser.value(languageOption);
    if (language.isEmpty())
        language = QString::fromStdString(FindProfileValue(profile, "Language", "Path"));
    if (language.isEmpty())
        language = "中文";
    texts.SetDirectory(QDir(appDir).filePath("language").toStdString());
    texts.Scan();
    if (texts.Load(language.toStdString()) == 0)
        return Fail(2, QString("no language file named \"%1\" in %2")
                           .arg(language, QDir(appDir).filePath("language")));

    const QString givenId = parser.value(patientOption);
    bool number = false;
    givenId.toInt(&number);
    if (parser.isSet(patientOption) && (!number || givenId.isEmpty() || !givenId.front().isDigit()))
        return Fail(2, QString("--patient-id must be a patient number, not \"%1\"").arg(givenId));
    QStringList ids;
    for (const QString& file : files) {
        const QString id = parser.isSet(patientOption) ? givenId : PatientIdForRecord(file);
        if (!id.isEmpty() && !ids.contains(id))
            ids << id;
    }
    std::map<QString, PatientAndOrder> rows;
    if (!ids.isEmpty()) {
        const QString error = LookUpPatients(where, ids, rows);
        if (!error.isEmpty())
            return Fail(2, error);
    }

    int status = 0;
    for (const QString& file : files) {
        const QString id = parser.isSet(patientOption) ? givenId : PatientIdForRecord(file);
        const PatientAndOrder* found = id.isEmpty() ? nullptr : &rows.at(id);
        const PatientRecord* row = found ? &found->row : nullptr;
        // A folder's number may have passed to another patient: its stamp says whose it is.
        const QString folder = QFileInfo(file).path();
        const QString other = row && !parser.isSet(patientOption)
                                  ? DescribeFolderCheck(CheckPatientFolder(folder, *row), folder, texts)
                                  : QString();
        if (!other.isEmpty())
            return Fail(2, other);
        const DicomPatient patient = found ? DicomPatientFromRow(found->row, found->order) : DicomPatient();
        const std::filesystem::path record = file.toStdString();
        auto report = [row, &texts](const std::filesystem::path& path, std::string& pdf) {
            const std::optional<QByteArray> data =
                ReportPdfData(QString::fromStdString(path.string()), row, kReportSpeedIndex, texts);
            if (data)
                pdf = data->toStdString();
            return data.has_value();
        };
        if (send) {
            for (const ObjectOutcome& outcome :
                 SendRecords({record}, patient, texts, settings, report)) {
                std::printf("%s\n", DescribeOutcome(outcome, texts).c_str());
                if (!outcome.Accepted())
                    status = 1;
            }
            continue;
        }
        RecordObjects made =
            BuildRecordObjects(record, patient, texts, settings.uidRoot,
                               !waveformOut.isEmpty(), reportOut.isEmpty() ? ReportPdfMaker() : report);
        for (const ObjectOutcome& failure : made.failures) {
            const bool badRecord = failure.status == SendStatus::RecordUnreadable
                                   || failure.status == SendStatus::RecordTooShort;
            return Fail(badRecord ? 2 : 1,
                        QString::fromStdString(DescribeOutcome(failure, texts)));
        }
        for (const DicomObject& object : made.objects) {
            const QString out = object.kind == DicomObjectKind::Waveform ? waveformOut : reportOut;
            std::string why;
            if (QFileInfo(out).isDir())
                return Fail(1, QString("cannot write \"%1\": it is a folder").arg(out));
            // A full disk leaves no half object behind.
            if (!WriteFileWhole(out.toStdString(),
                                [&object](const std::filesystem::path& temporary, std::string& failure) {
                                    return WriteDicomFile(object, temporary, failure);
                                },
                                why)) {
                return Fail(1, QString("cannot write \"%1\": %2").arg(out, QString::fromStdString(why)));
            }
            std::printf("%s: %s\n", qPrintable(out),
                        object.kind == DicomObjectKind::Waveform ? "ECG waveform" : "ECG report");
        }
    }
    return status;
}
