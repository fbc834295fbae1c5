#pragma once
// A working folder with a fresh Corvida.mdb, one stored patient and a synthetic 48 s record in the
// patient's folder under a system-made name; plus the poppler tools that read PDF files back.
#include <QProcess>
#include <QString>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "tests/history/HistoryFixture.h"
#include "tests/support/PacketFile.h"
#include "tests/support/RunProgram.h"
#include "tests/support/SmallDisk.h"
#include "tools/SyntheticEcg.h"

// Pages of a PDF as pdfinfo reads them; 0 when it is no readable PDF.
inline int PdfPages(const QString& pdf)
{
    QString out;
    RunProgram("pdfinfo", {pdf}, &out);
    return out.section("Pages:", 1).section('\n', 0, 0).trimmed().toInt();
}

inline QString PdfText(const QString& pdf, int page = 0)
{
    QStringList args;
    if (page > 0)
        args << "-f" << QString::number(page) << "-l" << QString::number(page);
    QString out;
    RunProgram("pdftotext", args << "-layout" << pdf << "-", &out);
    return out;
}

class ReportTest : public HistoryTest {
protected:
    void SetUp() override
    {
        HistoryTest::SetUp();
        // Age 57, 172 cm, 70 kg, blood group O, male.
        const PatientRecord facts{0, "Zhang Wei", 57, 172, 70, 3, 0, "chest pain\r\nsince morning", "00004711", {}, 0};
        StoreResult r = StorePatient(facts, QDateTime(QDate(2009, 3, 7), QTime(14, 5, 9)));
        ASSERT_TRUE(r.Stored());
        patientId = r.id;
        EcgParameters p;
        ASSERT_TRUE(EcgPreset("normal", p));
        record = dir.Path() / "Data" / std::to_string(patientId) / "m200903071405.cv";
        WritePackets(record, SynthesizeRecord(p));
    }
    QString RecordPath() const { return QString::fromStdString(fs::relative(record, dir.Path()).string()); }
    QString Out(const char* name) const { return QString::fromStdString((dir.Path() / name).string()); }
    // Lets `write` make full/r.pdf on a full 64 KiB disk where an earlier r.pdf lies: what the
    // folder holds after, or nothing when no tmpfs can be mounted here (it needs root).
    std::optional<std::vector<std::string>> OnFullDisk(const std::function<void(const QString&)>& write)
    {
        const SmallDisk disk(dir.Path() / "full", "64k");
        if (!disk.Mounted())
            return std::nullopt;
        std::ofstream(dir.Path() / "full" / "r.pdf") << "earlier";
        write(Out("full/r.pdf"));
        std::vector<std::string> kept;
        for (const auto& entry : fs::directory_iterator(dir.Path() / "full")) {
            std::string line;
            std::getline(std::ifstream(entry.path()), line);
            kept.push_back(entry.path().filename().string() + ": " + line);
        }
        return kept;
    }

    int32_t patientId = 0;
    fs::path record;
};
