// corvida-report: writes the printed report of a record file as a PDF, without a printer.
//
//   corvida-report [--language NAME] [--patient-id ID] [--speed 12.5|25|50] [--machine]
//                  --pdf OUT.pdf FILE.cv
//
// The patient header is looked up in the patient database of the program's Settings.ini when
// --patient-id is given, else its fields are left blank. A record in a patient's folder prints its
// latest confirmed reading from that database, or with --machine the machine's own. The page is A4
// at 600 dpi, the resolution the report assumes before a printer is known. Exit status 0 on success, 2 on bad input, 1 when the PDF
// cannot be written.
#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "foundation/Translate.h"
#include "foundation/LanguageTable.h"
#include "foundation/ProfileFile.h"
#include "foundation/WholeFile.h"
#include "db/AppDatabase.h"
#include "db/DatabaseSettings.h"
#include "db/PatientStore.h"
#include "db/ReadingStore.h"
#include "record/RecordFile.h"
#include "report/ReportPdf.h"

namespace {

int Fail(int status, const QString& text)
{
    std::fprintf(stderr, "corvida-report: %s\n", qPrintable(text));
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    // A command-line tool needs no screen; fonts come from the system either way.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    // Language files and Settings.ini live in the program folder beside this tool.
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString programSettings = QDir(appDir).filePath("Settings.ini");
    const DatabaseSettings where = ReadDatabaseSettings(programSettings.toStdString());
    QCommandLineParser parser;
    parser.setApplicationDescription("Writes the report of a record file (.cv) as a PDF.\n"
                                     "The patient (--patient-id) and the reading of a record in a patient's\n"
                                     "folder come from the database of " +
                                     programSettings + ":\n  " + DatabaseLocation(where));
    parser.addHelpOption();
    const QCommandLineOption languageOption("language", "Interface language by display name.", "NAME");
    const QCommandLineOption patientOption("patient-id", "Patient number for the header.", "ID");
    const QCommandLineOption speedOption("speed", "Print speed in mm/s: 12.5, 25 or 50.", "MM/S", "25");
    const QCommandLineOption pdfOption("pdf", "The PDF file to write.", "OUT.pdf");
    const QCommandLineOption machineOption(
        "machine", "Print the machine's reading, not the latest reading a physician confirmed.");
    parser.addOptions({languageOption, patientOption, speedOption, pdfOption, machineOption});
    parser.addPositionalArgument("FILE.cv", "The record file.");
    if (!parser.parse(QCoreApplication::arguments()))
        return Fail(2, parser.errorText());
    if (parser.isSet("help")) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return Fail(2, "exactly one record file is needed (see --help)");
    if (!parser.isSet(pdfOption) || parser.value(pdfOption).isEmpty())
        return Fail(2, "--pdf OUT.pdf is needed");
    const QString speedText = parser.value(speedOption);
    const QStringList speeds = {"12.5", "25", "50"};
    const int speedIndex = static_cast<int>(speeds.indexOf(speedText));
    if (speedIndex < 0)
        return Fail(2, QString("--speed must be 12.5, 25 or 50, not \"%1\"").arg(speedText));

    // A tool must never read another database than the program it stands beside.
    if (!where.problem.isEmpty())
        return Fail(2, programSettings + ": " + where.problem);
    LanguageTable texts;
    QString language = parser.value(languageOption);
    if (language.isEmpty())
        language = QString::fromStdString(GetProfileString(programSettings.toStdString(), "Language", "Path"));
    if (language.isEmpty())
        language = "中文";
    texts.SetDirectory(QDir(appDir).filePath("language").toStdString());
    texts.Scan();
    if (texts.Load(language.toStdString()) == 0)
        return Fail(2, QString("no language file named \"%1\" in %2")
                           .arg(language, QDir(appDir).filePath("language")));

    const QString recordPath = files.front();
    if (ClashesWithRecords(parser.value(pdfOption).toStdString(), {recordPath.toStdString()}))
        return Fail(2, QString("will not write \"%1\": it is a record file").arg(parser.value(pdfOption)));
    std::string why;
    if (!CheckRecordFile(recordPath.toStdString(), why))
        return Fail(2, QString("%1: %2").arg(recordPath, QString::fromStdString(why)));
    std::optional<PatientRecord> patient;
    LatestReading latest;
    const bool readingWanted = !parser.isSet(machineOption) && !PatientIdForRecord(recordPath).isEmpty();
    if (parser.isSet(patientOption) || readingWanted) {
        const QString id = parser.value(patientOption);
        bool number = false;
        id.toInt(&number);
        if (parser.isSet(patientOption) && (!number || id.isEmpty() || !id.front().isDigit()))
            return Fail(2, QString("--patient-id must be a patient number, not \"%1\"").arg(id));
        AppDatabase& db = AppDatabase::Instance();
        if (QString error; !OpenPatientDatabase(where, error))
            return Fail(2, QString("the patient database %1 cannot be opened: %2")
                               .arg(DatabaseLocation(where), error));
        const PatientLookup found = parser.isSet(patientOption) ? FindPatient(id) : PatientLookup();
        if (readingWanted)
            latest = LatestReadingOf(recordPath);
        const QString error = db.LastError();
        db.Close();  // a lookup or two is all the tool asks of the database
        if (found.queryFailed)
            return Fail(2, "the patient query failed: " + error);
        if (latest.failed)
            return Fail(2, "the reading of the record cannot be looked up: " + error);
        if (parser.isSet(patientOption) && !found.row)
            return Fail(2, QString("there is no patient %1 in the patient database").arg(id));
        patient = found.row;
    }

    // The PDF is made in memory first, so a bad record leaves an existing OUT.pdf alone.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    int pages = 0;
    const ReportPdfOutcome written =
        WriteReportPdf(pdf, recordPath, patient ? &*patient : nullptr, speedIndex, texts,
                       latest.reading ? &*latest.reading : nullptr, &pages);
    if (written == ReportPdfOutcome::RecordUnreadable)
        return Fail(2, QString("cannot read the record file \"%1\"").arg(recordPath));
    if (written == ReportPdfOutcome::RecordTooShort)
        return Fail(2, QString("the record file \"%1\" holds less than one second").arg(recordPath));
    if (written == ReportPdfOutcome::PaperTooSmall)
        return Fail(1, Translate(texts, "Paper too small, printing aborted!"));
    const QString out = parser.value(pdfOption);
    std::string failure;
    if (written != ReportPdfOutcome::Written || QFileInfo(out).isDir()
        || !WriteFileWhole(out.toStdString(), pdf.data().toStdString(), failure))
        return Fail(1, QString("cannot write \"%1\" %2").arg(out, QString::fromStdString(failure)));
    std::printf("%s: %d pages\n", qPrintable(out), pages);
    return 0;
}
