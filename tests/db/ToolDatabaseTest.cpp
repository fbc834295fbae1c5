// The command-line tools take the patient database from the Settings.ini of their own program
// folder, whatever --settings names, say which in --help, and stop when it cannot be used.
#include <gtest/gtest.h>

#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

TEST(ToolDatabase, AlwaysTheProgramFoldersOwn_NamedInHelp_AnUnusableOneStopsTheTool)
{
    // A program folder of the test's own whose Settings.ini names a server; none listens here.
    TempDir dir(true);
    for (const char* tool : {"corvida-export", "corvida-report"})
        fs::copy_file(fs::path(CORVIDA_TOOLS_DIR) / tool, tool);
    fs::copy(CORVIDA_APP_DIR "/language", "language");
    const auto settings = [&](const std::string& database) {
        std::ofstream("Settings.ini") << "[Language]\nPath=English\n[Database]\nDriver=PostgreSQL\nUser=corvida\nHost="
                                      << dir.Path().string() << "\nDatabase=" << database << "\n";
    };
    settings("corvida");
    const QString server = QString::fromStdString("postgresql://corvida@" + dir.Path().string() + ":5432/corvida");
    QString out, err;
    for (const char* tool : {"./corvida-export", "./corvida-report"})
        EXPECT_TRUE(RunProgram(tool, {"--help"}, &out) == 0 && out.contains(server)) << out.toStdString();

    // A PACS recipe's settings file with a [Database] of its own: the server is still the one.
    std::ofstream("pacs.ini") << "[Dicom]\nUidRoot=1.2.3\n[Database]\nDriver=SQLite\n";
    const QStringList exportRecord{"--settings", "pacs.ini", "--dicom", "x.dcm", "Data/1/m.cv"};
    EXPECT_EQ(RunProgram("./corvida-export", exportRecord, nullptr, &err), 2);
    EXPECT_TRUE(err.contains("pacs.ini: [Database] is not taken") &&
                err.contains("the patient database " + server + " cannot be opened")) << err.toStdString();

    // A value that would add a key of its own to the connection stops either tool, naming it.
    settings("corvida;Host=elsewhere");
    EXPECT_EQ(RunProgram("./corvida-export", exportRecord, nullptr, &err), 2);
    EXPECT_TRUE(err.contains("[Database] Database \"corvida;Host=elsewhere\"")) << err.toStdString();
    EXPECT_EQ(RunProgram("./corvida-report", {"--pdf", "x.pdf", "Data/1/m.cv"}, nullptr, &err), 2);
    EXPECT_TRUE(err.contains("[Database] Database \"corvida;Host=elsewhere\"")) << err.toStdString();
}
