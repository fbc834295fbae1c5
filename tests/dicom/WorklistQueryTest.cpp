// The worklist query against a wlmscpfs on files made by dump2dcm: names in three character sets
// come back in UTF-8 exactly, only this station's steps of the day, in time order, hundreds of
// them; a worklist that is down, refuses, fails, hangs or answers garbage gives its status.
#include "dicom/WorklistQuery.h"
#include "tests/support/TempDir.h"
#include "tests/support/WorklistScp.h"

namespace {

std::tm Day(int year, int month, int day)
{
    std::tm t{};
    t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day;
    return t;
}

WorklistSettings At(quint16 port, int timeout = 5)
{
    WorklistSettings s;
    s.host = "127.0.0.1";
    s.port = port;
    s.calledAeTitle = kWorklistAe;
    s.stationAeTitle = "ECG1";
    s.timeoutSeconds = timeout;
    return s;
}

}  // namespace

TEST(WorklistQuery, NamesOfEveryCharacterSetComeBackExactlyAndOnlyThisStationsStepsOfTheDayInTimeOrder)
{
    TempDir dir;
    const WorklistFile files[] = {
        {"ISO_IR 100", "M\xfcller^Hans", "L1", "19600307", "M", "ACC1", "20250301", "1100"},
        {"ISO_IR 192", "王^小明=", "U2", "19850302", "F", "ACC2", "20250301", "0930"},
        {"GB18030", "\xc0\xee^\xcb\xc4", "G3", "", "O", "ACC3", "20250301", "1000"},
        {"", "", "", "", "", "", "20250301", ""},  // nothing but the step
        {"", "Other^Day", "X4", "", "", "ACC4", "20250302", "0800"},
        {"", "Other^Modality", "X5", "", "", "ACC5", "20250301", "0800", "CT"},
        {"", "Other^Station", "X6", "", "", "ACC6", "20250301", "0800", "ECG", "ECG2"},
        {"", "Undeclared^Fran\xe7ois", "X7", "", "", "ACC7", "20250301", "0800"},  // not listed
    };
    for (size_t i = 0; i < std::size(files); ++i)
        ASSERT_TRUE(WriteWorklistFile(dir.Path(), "e" + std::to_string(i), files[i]));
    WorklistScp scp(dir.Path());
    const std::tm today = Day(2025, 3, 1);
    WorklistAnswer answer = QueryWorklist(At(scp.Port()), today);
    ASSERT_EQ(answer.status, WorklistStatus::Found) << answer.detail;
    ASSERT_EQ(answer.entries.size(), 4u);
    EXPECT_EQ(answer.unreadable, 1);
    std::string listed;
    for (const WorklistEntry& e : answer.entries)
        listed += e.patientName + "|" + ReadableName(e.patientName) + "|" + e.patientId + "|"
                  + e.issuerOfPatientId + "|" + e.patientSex + "|" + std::to_string(AgeOn(e.patientBirthDate, today))
                  + "|" + e.accessionNumber + "|" + e.requestedProcedureId + "|" + e.requestedProcedureDescription
                  + "|" + e.scheduledStepId + "|" + e.scheduledDate + e.scheduledTime + "|" + e.studyInstanceUid + "\n";
    EXPECT_EQ(listed,
              "|||||-1|||Resting ECG||20250301|\n"
              "王^小明=|王 小明|U2|HOSPITAL|F|39|ACC2|RP2|Resting ECG|SPS2|202503010930|1.2.826.0.1.3680043.10.999.7.2\n"
              "李^四|李 四|G3|HOSPITAL|O|-1|ACC3|RP3|Resting ECG|SPS3|202503011000|1.2.826.0.1.3680043.10.999.7.3\n"
              "Müller^Hans|Müller Hans|L1|HOSPITAL|M|64|ACC1|RP1|Resting ECG|SPS1|202503011100|1.2.826.0.1.3680043.10.999.7.1\n");

    // Any station, and tomorrow too; then hundreds of entries.
    WorklistSettings wide = At(scp.Port());
    wide.stationAeTitle.clear();
    wide.daysAfter = 1;
    EXPECT_EQ(QueryWorklist(wide, today).entries.size(), 6u);
    for (int i = 0; i < 500; ++i)
        std::filesystem::copy_file(dir.Path() / kWorklistAe / "e1.wl",
                                   dir.Path() / kWorklistAe / ("copy" + std::to_string(i) + ".wl"));
    answer = QueryWorklist(At(scp.Port()), today);
    EXPECT_EQ(answer.status, WorklistStatus::Found);
    EXPECT_EQ(answer.entries.size(), 504u);
}

TEST(WorklistQuery, NamesReadAsPeopleWriteThemAndAgesCountWholeYears)
{
    const std::tm day = Day(2025, 1, 1);
    EXPECT_EQ(ReadableName("=王^小明=wang^xiaoming"), "王 小明");
    EXPECT_EQ(ReadableName("Doe^ John ^Q^Dr.^Jr."), "Doe John Q");
    EXPECT_EQ(AgeOn("19600101", day), 65);
    EXPECT_EQ(AgeOn("19600102", day), 64);
    EXPECT_EQ(AgeOn("20250102", day), -1);
    EXPECT_EQ(AgeOn("1960031", day), -1);
}

TEST(WorklistQuery, AWorklistThatIsDownRefusesFailsHangsOrAnswersGarbageGivesItsStatusAndNoEntry)
{
    TempDir dir;
    ASSERT_TRUE(WriteWorklistFile(dir.Path(), "e", {"", "A^B", "1", "", "", "ACC1", "20250301", "0900"}));
    struct Case {
        const char* what;
        WorklistStatus status;
    };
    const Case cases[] = {
        {"down", WorklistStatus::Unreachable},
        {"refuses", WorklistStatus::Refused},
        {"hangs", WorklistStatus::TimedOut},
        {"answers garbage", WorklistStatus::Broken},
        {"hangs in the query", WorklistStatus::TimedOut},
        {"is no worklist", WorklistStatus::NotOffered},
        {"fails the query", WorklistStatus::Failed},  // its folder cannot be locked
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string what = c.what;
        std::optional<ScpProcess> scp;
        std::optional<RawPeer> raw;
        quint16 port = FreePort();
        if (what == "refuses")
            scp.emplace("wlmscpfs", QStringList{"--refuse", "-dfp", MadeFolder(dir.Path())});
        if (what == "hangs in the query")
            scp.emplace("wlmscpfs", QStringList{"--sleep-during", "5", "-dfr", "-dfp", MadeFolder(dir.Path())});
        if (what == "fails the query") {
            std::filesystem::remove(dir.Path() / kWorklistAe / "lockfile");
            scp.emplace("wlmscpfs", QStringList{"-dfp", MadeFolder(dir.Path())});
        }
        if (what == "is no worklist")
            scp.emplace("storescp", QStringList{"-od", MadeFolder(dir.Path() / "in")});
        if (what == "hangs" || what == "answers garbage")
            port = raw.emplace(what == "hangs" ? "" : "HTTP/1.1 400 Bad Request\r\n\r\n").Port();
        if (scp)
            port = scp->Port();
        const WorklistAnswer answer = QueryWorklist(At(port, 1), Day(2025, 3, 1));
        EXPECT_EQ(answer.status, c.status) << answer.detail;
        EXPECT_TRUE(answer.entries.empty() && !answer.detail.empty());
    }
}
