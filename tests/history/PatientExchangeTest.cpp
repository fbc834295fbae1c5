// Export and import of patient folders against a real database file and real folders: a round trip
// keeps every fact and byte, an export that is short of something says so, and an import treats the
// folder as untrusted.
#include "tests/history/HistoryFixture.h"
#include "tests/support/SmallDisk.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <set>

#include "dialogs/HistoryPatientListDialog.h"
#include "history/PatientExchange.h"
#include "history/PatientInfoXml.h"
#include "db/PatientFolder.h"

#include <QRegularExpression>

namespace {

const QDateTime kExportTime(QDate(2009, 3, 7), QTime(9, 5, 41));

class PatientExchange : public HistoryTest {
protected:
    // A patient with quotes, Chinese text and a two-line note, and two records.
    int32_t AddSamplePatient()
    {
        const StoreResult r = StorePatient({0, QString::fromUtf8("王'小\"明"), 63, 172, 81, 2, 1,
                                            QString::fromUtf8("胸闷 'twice'\r\n\"follow-up\" 50%"), "0012'34", {}, 0},
                                           kExportTime.addDays(-30));
        EXPECT_TRUE(r.Stored());
        for (const char* name : {"m200902051010.cv", "m200902051020.cv"})
            records[name] = WriteRecord(fs::path("Data") / std::to_string(r.id) / name, records.size() + 1);
        return r.id;
    }
    // An export and an import as the history list runs them, its messages shown.
    bool Export(int32_t id, const fs::path& destination, const QDateTime& now = kExportTime)
    {
        const ExportResult result = ExportPatient(id, QString::fromStdString(destination.string()), now);
        HistoryPatientListDialog::Report(app.context, result);
        return result.Exported();
    }
    std::optional<int32_t> Import(const fs::path& folder)
    {
        const ImportResult result = ImportPatient(QString::fromStdString(folder.string()), kExportTime);
        HistoryPatientListDialog::Report(app.context, result);
        return result.id;
    }
    std::map<std::string, std::string> records;
    TempDir out;  // the operator's destination folder, outside the working folder
};

}  // namespace

TEST_F(PatientExchange, ExportWithinOneSecondTakesTheNextFreeFolder_ExportShortOfSomethingSaysItIsIncomplete)
{
    const int32_t id = AddSamplePatient();
    const int32_t other = AddPatient("other", "9", 0, kExportTime);
    WriteRecord(fs::path("Data") / std::to_string(other) / "m200902051010.cv", 7);
    ASSERT_TRUE(Export(id, out.Path()));
    ASSERT_TRUE(Export(other, out.Path(), kExportTime.addMSecs(400)));
    ASSERT_TRUE(Export(other, out.Path(), kExportTime.addMSecs(800)));
    // Each export has a folder of its own; the first patient's record is not replaced.
    EXPECT_EQ(ReadBytes(out.Path() / "20090307-090541" / "m200902051010.cv"), records["m200902051010.cv"]);
    for (const char* second : {"20090307-090541-2", "20090307-090541-3"}) {
        const QByteArray xml = QByteArray::fromStdString(ReadBytes(out.Path() / second / "PatientInfo.xml"));
        EXPECT_EQ(ReadPatientInfoXml(xml).value_or(PatientRecord()).Name, "other") << second;
    }
    ASSERT_TRUE(Export(id, out.Path(), kExportTime.addSecs(1)));
    EXPECT_TRUE(fs::is_regular_file(out.Path() / "20090307-090542" / "PatientInfo.xml"));
    EXPECT_EQ(prompt.Texts(), (QStringList{"Exported", "Exported", "Exported", "Exported"}));

    const fs::path folder = out.Path() / "20090307-090541";
    // `copied`: a record that must be in the folder all the same.
    const auto incomplete = [&](int32_t exported, const fs::path& to, const QString& message, bool xmlWritten,
                                const char* copied = nullptr) {
        fs::remove_all(folder);
        prompt.Clear();
        EXPECT_FALSE(Export(exported, to)) << message.toStdString();
        EXPECT_EQ(prompt.Texts(), QStringList{message});
        EXPECT_EQ(fs::exists(folder / "PatientInfo.xml"), xmlWritten) << message.toStdString();
        EXPECT_TRUE(!copied || fs::is_regular_file(folder / copied)) << message.toStdString();
    };
    const fs::path gone = out.Path() / "gone";
    incomplete(id, gone, "Export incomplete\n" + QString::fromStdString((gone / folder.filename()).string()), false);
    WriteRecord("Data/99/m200901010101.cv", 3);
    incomplete(99, out.Path(), "Export incomplete\nPatientInfo.xml: save error", false, "m200901010101.cv");
    // A pipe named like a record is never read.
    ASSERT_EQ(::mkfifo(("Data/" + std::to_string(id) + "/m200902051030.cv").c_str(), 0600), 0);
    incomplete(id, out.Path(), "Export incomplete\nm200902051030.cv: not a record", true, "m200902051010.cv");
    incomplete(AddPatient("empty", "2", 0, kExportTime), out.Path(), "No record file was copied.", true);
    incomplete(77, out.Path(), "Export incomplete\nPatientInfo.xml: save error\nNo record file was copied.", false);
}

TEST_F(PatientExchange, ImportOfABadFolderStoresNothing_OfAGoodOneCopiesOnlyPlainRecords_ShortOfSpaceSaysSo)
{
    ASSERT_TRUE(Export(AddSamplePatient(), out.Path()));
    const fs::path good = out.Path() / "20090307-090541";
    const std::string xml = ReadBytes(good / "PatientInfo.xml");
    auto makeFolder = [&](const std::string& name, const std::string& content) {
        const fs::path f = out.Path() / name;
        WriteRecord(f / "m200903070905.cv", 4);
        std::ofstream(f / "PatientInfo.xml", std::ios::binary) << content;
        return f;
    };
    // Throws when `from` is not there: the folder would prove nothing.
    auto replaced = [&](const std::string& from, const std::string& to) {
        return std::string(xml).replace(xml.find(from), from.size(), to);
    };
    WriteRecord(out.Path() / "missing" / "m200903070905.cv", 5);
    const fs::path linked = out.Path() / "linked";
    fs::create_directories(linked);
    fs::create_symlink(good / "PatientInfo.xml", linked / "PatientInfo.xml");

    const fs::path folders[] = {
        out.Path() / "missing",
        out.Path(),  // the parent of an export folder
        makeFolder("schema", replaced("urn:corvida:rowset:schema", "urn:other")),
        makeFolder("huge file", xml + std::string(2 << 20, ' ')),
        makeFolder("truncated", xml.substr(0, xml.size() / 2)),
        linked,  // PatientInfo.xml is a link out of the chosen folder
    };
    const auto before = Snapshot(dir.Path());
    const auto exported = Snapshot(out.Path());
    for (const fs::path& f : folders) {
        prompt.Clear();
        EXPECT_FALSE(Import(f)) << f;
        EXPECT_EQ(prompt.Texts(), QStringList{"No data!"}) << f;
    }
    EXPECT_FALSE(ExportPatientRow(2)) << "a patient was stored";
    EXPECT_EQ(Snapshot(dir.Path()), before);
    EXPECT_EQ(Snapshot(out.Path()), exported);

    // Only plain files named as records that hold a record are copied, and whatever else is named
    // *.cv is said: a link to a file outside, a name with backslashes (never a path), bytes that
    // are no packets, an empty file. A link to a folder and a subfolder's record are not the
    // folder's files.
    TempDir elsewhere;
    WriteRecord(elsewhere.Path() / "secret.cv", 9);
    fs::create_symlink(elsewhere.Path() / "secret.cv", good / "m209901010101.cv");
    fs::create_symlink(elsewhere.Path(), good / "m209901010102.cv");
    WriteRecord(good / "sub" / "m209901010103.cv", 10);
    WriteRecord(good / "x\\1\\m209901010104.cv", 11);
    std::ofstream(good / "m209901010105.cv") << std::string(3200, '\xff');
    std::ofstream(good / "m209901010106.cv").flush();
    const auto outside = Snapshot(elsewhere.Path());

    prompt.Clear();
    const std::optional<int32_t> newId = Import(good);
    ASSERT_TRUE(newId);
    const fs::path target = fs::path("Data") / std::to_string(*newId);
    std::set<std::string> copied;
    for (const auto& e : fs::directory_iterator(target)) {
        EXPECT_TRUE(e.is_regular_file() && !e.is_symlink()) << e.path();
        copied.insert(e.path().filename().string());
    }
    EXPECT_EQ(copied, (std::set<std::string>{kPatientStampFile, "m200902051010.cv", "m200902051020.cv"}));
    QStringList said = prompt.LastText().split('\n');
    said.sort();
    EXPECT_EQ(said, QStringList({"Import incomplete", "m209901010101.cv: not a record", "m209901010105.cv: not a record",
                                 "m209901010106.cv: not a record", "x\\1\\m209901010104.cv: not a record"}));
    EXPECT_EQ(Snapshot(elsewhere.Path()), outside);

    // A Data/3 the database knows nothing of (a restored database) is set aside, never used.
    const std::string old = WriteRecord("Data/3/m200101010101.cv", 12);
    ASSERT_EQ(Import(good), 3);
    EXPECT_FALSE(fs::exists("Data/3/m200101010101.cv"));
    EXPECT_TRUE(ReadBytes("Data/3.deleted-20090307090541/m200101010101.cv") == old);

    // A data disk with room for the stamp and one record only (records are 12800 bytes).
    fs::rename("Data", "Data-before");
    const SmallDisk disk("Data", "20k");
    if (!disk.Mounted())
        GTEST_SKIP() << "no tmpfs could be mounted: " << std::strerror(errno);
    prompt.Clear();
    EXPECT_TRUE(Import(good));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_TRUE(prompt.LastText().contains(QRegularExpression("\nm20090205\\d{4}\\.cv: copy failed")))
        << prompt.LastText().toStdString();
}
