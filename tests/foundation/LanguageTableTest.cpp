// Language files: their format, the lookups, and that both shipped files hold every key the
// program asks for.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include "analysis/ConclusionComposer.h"
#include "foundation/LanguageTable.h"
#include "tests/support/ShippedLanguage.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

TEST(LanguageTable, EntriesFollowTheFileFormat)
{
    const auto entries = LanguageTable::ParseEntries(
        ";Test\n"
        "a=b = two equals\n"    // split at the last '=': the key keeps the first
        "blank =   \n"           // only blanks after '=': ignored
        "  spaced key  =  spaced value  \r\n"
        "; comment = not an entry\n"
        "multi = one\\ntwo\\tthree\n"
        "no equals sign\n"
        "= no key\n"
        "dup = first\n"
        "dup = second\n");
    const std::map<std::string, std::string> expected = {
        {"a=b", "two equals"}, {"spaced key", "spaced value"}, {"multi", "one\ntwo\tthree"}, {"dup", "second"}};
    EXPECT_EQ(entries, expected);
}

// Every key the program looks up, in any source file, exists in both shipped language files.
TEST(LanguageTable, ShippedFilesHoldEveryKeyTheProgramUses)
{
    const fs::path source = CORVIDA_SOURCE_DIR;
    std::set<std::string> keys;
    const std::regex call(R"(Translate\((?:\s*\*?\w+,)?\s*\"((?:[^\"\\]|\\.)*)\"\s*\))");
    for (const char* folder : {"foundation", "device", "analysis", "record", "dicom", "db",
                               "report", "history", "acquisition", "dialogs", "ui", "app",
                               "tools"}) {
        for (const auto& entry : fs::recursive_directory_iterator(source / folder)) {
            const std::string text = entry.path().extension() == ".cpp" || entry.path().extension() == ".h"
                                         ? ReadBytes(entry.path()) : "";
            for (std::sregex_iterator it(text.begin(), text.end(), call), end; it != end; ++it)
                keys.insert((*it)[1].str());
        }
    }
    // Statements 39, 40 and 41 are a single blank, which a language file cannot hold as a value.
    for (int code = 11; code <= 126; ++code)
        if (code < 39 || code > 41)
            keys.insert("constr" + std::to_string(code));
    keys.insert(kClosingLineKey);
    ASSERT_GT(keys.size(), 100u);

    for (const char* language : {"English", "中文"}) {
        SCOPED_TRACE(language);
        LanguageTable table;
        table.SetDirectory((source / "language").string());
        table.Scan();
        ASSERT_GT(table.Load(language), 0);
        for (const std::string& key : keys)
            EXPECT_FALSE(table.Translate(key).empty()) << "missing key \"" << key << "\"";
    }
}

// The English a user reads, whole: every statement and every interface text. A changed text shows
// here and must be meant; after a deliberate change, CORVIDA_WRITE_GOLDEN=1 writes the file anew.
TEST(LanguageTable, EnglishTextsMatchTheirGoldenFile)
{
    const LanguageTable english = ShippedLanguage();
    std::string texts;
    for (const auto& [key, text] : english.Entries())
        texts += key + " = " + text + "\n";
    const fs::path golden = fs::path(CORVIDA_SOURCE_DIR) / "tests/foundation/golden/English.txt";
    if (std::getenv("CORVIDA_WRITE_GOLDEN"))
        std::ofstream(golden, std::ios::binary) << texts;
    EXPECT_EQ(ReadBytes(golden), texts);
}

TEST(LanguageTable, AnUnusableLanguageFallsBackToEnglishOrTheFirstThatLoads)
{
    TempDir dir;
    std::ofstream(dir.Path() / "A.ini") << ";Alpha\nOK = A\n";
    std::ofstream(dir.Path() / "Empty.ini") << ";Empty\n";
    LanguageTable table;
    table.SetDirectory(dir.Path().string());
    table.Scan();
    EXPECT_EQ(table.LoadOrFallBack("Alpha"), "Alpha");
    EXPECT_EQ(table.LoadOrFallBack("Empty"), "Alpha");  // a file without texts
    std::ofstream(dir.Path() / "English.ini") << ";English\nOK = Fine\n";
    table.Scan();
    for (const char* wanted : {"english", "Klingon", "Empty", ""}) {
        EXPECT_EQ(table.LoadOrFallBack(wanted), "English") << wanted;
        EXPECT_EQ(table.Translate("OK"), "Fine");
    }
    fs::remove(dir.Path() / "English.ini");
    fs::remove(dir.Path() / "A.ini");
    EXPECT_EQ(table.LoadOrFallBack("English"), "");
}
