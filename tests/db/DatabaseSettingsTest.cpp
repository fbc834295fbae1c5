// Which database a station opens, and the statements in PostgreSQL's form.
#include <gtest/gtest.h>

#include <fstream>

#include "db/Ado.h"
#include "db/DatabaseSettings.h"
#include "tests/support/TempDir.h"

TEST(DatabaseSettings, SectionChoosesTheDriverAndRefusesWhatCannotBeUsed)
{
    TempDir dir;
    const auto read = [&](const std::string& section) {
        const std::string path = (dir.Path() / "Settings.ini").string();
        std::ofstream(path) << "[CommNo]\nPath=3\n" << section;
        return ReadDatabaseSettings(path);
    };
    const DatabaseSettings none = read("");
    EXPECT_FALSE(none.postgres || !none.dataRoot.isEmpty() || !none.problem.isEmpty());

    const DatabaseSettings server = read("[database]\ndriver=postgresql\nHost=db.clinic\nPort=6543\n"
                                         "Database=ecg\nUser=room2\nData=/mnt/ecg/Data\n");
    EXPECT_TRUE(server.postgres);
    EXPECT_EQ(DatabaseLocation(server), "postgresql://room2@db.clinic:6543/ecg");
    EXPECT_EQ(server.dataRoot, "/mnt/ecg/Data");
    EXPECT_TRUE(server.problem.isEmpty());

    EXPECT_FALSE(read("[Database]\nDriver=SQLite\n").postgres);
    for (const char* port : {"0", "65536", "54x", "-1"})
        EXPECT_FALSE(read(std::string("[Database]\nDriver=PostgreSQL\nPort=") + port + "\n").problem.isEmpty())
            << port;
    // A setting that cannot be used is said, and nothing is opened.
    QString error;
    EXPECT_FALSE(OpenPatientDatabase(read("[Database]\nDriver=Access\n"), error));
    EXPECT_EQ(error, "[Database] Driver \"Access\" is neither SQLite nor PostgreSQL.");
}

TEST(JetDialect, LikeIgnoresCaseAndKnowsNoEscapeOnPostgres)
{
    EXPECT_EQ(JetToPostgres("Select * From Patient Where Isdel = 0 And Name Like '%o''b\\%'"
                            "Order By NewDate DESC And NewDate = #2009-3-7#",
                            {"newdate"}),
              "Select * From Patient Where Isdel = 0 And Name ILIKE '%o''b\\%' ESCAPE ''"
              "Order By NewDate DESC And NewDate = '2009-03-07 00:00:00'");
}
