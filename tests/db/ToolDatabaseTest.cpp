// The command-line tools take the patient database from the Settings.ini of their own program
// folder, whatever --settings names, say which in --help, and stop when it cannot be used.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

TEST(ToolDatabase, AlwaysTheProgramFoldersOwn_NamedInHelp_AnUnusableOneStopsTheTool)
{
    // A program folder of its own whose Settings.ini names a server; none listens in this folder.
    TempDir dir(true);
    for (const char* tool : {"corvida-export", "corvida-report"}) {
        std::error_code ec;
        fs::create_hard_link(fs::path(CORVIDA_TOOLS_DIR) / tool, tool, ec);
        if (ec)
            fs::copy_file(fs::path(CORVIDA_TOOLS_DIR) / tool, tool);
    }
    fs::copy(CORVIDA_APP_DIR "/language", "language");
    fs::copy_file(CORVIDA_APP_DIR "/Corvida.mdb", "Corvida.mdb");
    const auto settings = [](const std::string& database) {
        std::ofstream("Settings.ini") << "[Language]\nPath=English\n[Database]\nDriver=PostgreSQL\nHost="
                                      << fs::current_path().string() << "\nUser=corvida\nDatabase=" << database << "\n";
    };
    settings("corvida");
    const QString server = QString::fromStdString("postgresql://corvida@" + dir.Path().string() + ":5432/corvida");
    const QString export_ = "./corvida-export", report = "./corvida-report";
    QString out, err;
    for (const QString& tool : {export_, report}) {
        EXPECT_EQ(RunProgram(tool, {"--help"}, &out), 0);
        EXPECT_TRUE(out.contains(server)) << out.toStdString();
    }

    // A PACS recipe's settings file with a [Database] of its own: the server is still the one.
    std::ofstream("pacs.ini") << "[Dicom]\nUidRoot=1.2.3\n[Database]\nDriver=SQLite\n";
    EXPECT_EQ(RunProgram(export_, {"--settings", "pacs.ini", "--dicom", "x.dcm", "Data/1/m.cv"}, nullptr, &err), 2);
    EXPECT_TRUE(err.contains("pacs.ini: [Database] is not taken")) << err.toStdString();
    EXPECT_TRUE(err.contains("the patient database " + server + " cannot be opened")) << err.toStdString();

    // A value that would add a key of its own to the connection stops either tool, naming it.
    settings("corvida;Host=elsewhere");
    EXPECT_EQ(RunProgram(export_, {"--settings", "pacs.ini", "--dicom", "x.dcm", "Data/1/m.cv"}, nullptr, &err), 2);
    EXPECT_TRUE(err.contains("[Database] Database \"corvida;Host=elsewhere\"")) << err.toStdString();
    EXPECT_EQ(RunProgram(report, {"--pdf", "x.pdf", "Data/1/m.cv"}, nullptr, &err), 2);
    EXPECT_TRUE(err.contains("[Database] Database \"corvida;Host=elsewhere\"")) << err.toStdString();
}
