// The conclusion composer with the program's own English and Chinese language files, and with a
// language file that lacks statement keys.
#include "analysis/ConclusionComposer.h"

#include "app/LanguageTable.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <initializer_list>

namespace {

LanguageTable Language(const std::string& displayName)
{
    LanguageTable table;
    table.SetDirectory(std::string(CORVIDA_SOURCE_DIR) + "/language");
    table.Scan();
    EXPECT_GT(table.Load(displayName), 0) << displayName;
    return table;
}

DiagnosisFlags Raised(std::initializer_list<int> codes)
{
    DiagnosisFlags flags{};
    for (int code : codes)
        flags[code] = 1;
    return flags;
}

// Lines prefilled so that untouched lines can be told from written ones.
ConclusionLines Untouched()
{
    ConclusionLines lines;
    for (auto& l : lines.line)
        l = "untouched";
    return lines;
}

const std::string kClosing = "<<**Report need physician confirm**>>";

TEST(ConclusionComposer, StatementsFromLineNineDownThenTheClosingLine)
{
    const LanguageTable english = Language("English");
    struct Case {
        const char* name;
        std::initializer_list<int> codes;
        int first;
        std::vector<std::string> shown;  // lines 9 down to first
    };
    const Case cases[] = {
        {"nothing raised", {}, 9, {kClosing}},
        {"internal findings are never shown", {0, 1, 2, 3}, 9, {kClosing}},
        {"one statement", {22}, 8, {"Cardiac electric axis normal", kClosing}},
        {"ascending code order", {36, 11, 22}, 6,
         {"in gear Sinus mode Target rate", "Cardiac electric axis normal",
          "Left ventricle Hypertrophy", kClosing}},
        {"seven statements fill lines 9 ... 3", {11, 17, 18, 20, 22, 29, 33}, 2,
         {"in gear Sinus mode Target rate", "left atrium Hypertrophy", "right atrium Hypertrophy",
          "QRS low voltage", "Cardiac electric axis normal",
          "Completeness Right Bundle branch block", "V1 Present RSR'Type", kClosing}},
        {"the eighth is dropped", {11, 17, 18, 20, 22, 29, 33, 36}, 2,
         {"in gear Sinus mode Target rate", "left atrium Hypertrophy", "right atrium Hypertrophy",
          "QRS low voltage", "Cardiac electric axis normal",
          "Completeness Right Bundle branch block", "V1 Present RSR'Type", kClosing}},
        {"blank statements still take a line", {39, 40, 41}, 6, {"", "", "", kClosing}},
        {"a lead name alone shows nothing", {114, 120}, 9, {kClosing}},
        {"the highest raised lead names the T wave", {123, 125, 126}, 8,
         {"V6 Abnormal T wave", kClosing}},
        {"T wave after other statements", {22, 99, 114, 126}, 6,
         {"Cardiac electric axis normal", "ST depression, anteroseptal Myocardial ischemia",
          "I Abnormal T wave", kClosing}},
        {"T wave as the eighth statement is dropped", {11, 17, 18, 20, 22, 29, 33, 124, 126}, 2,
         {"in gear Sinus mode Target rate", "left atrium Hypertrophy", "right atrium Hypertrophy",
          "QRS low voltage", "Cardiac electric axis normal",
          "Completeness Right Bundle branch block", "V1 Present RSR'Type", kClosing}},
        {"T wave as the seventh", {11, 17, 18, 20, 22, 29, 121, 126}, 2,
         {"in gear Sinus mode Target rate", "left atrium Hypertrophy", "right atrium Hypertrophy",
          "QRS low voltage", "Cardiac electric axis normal",
          "Completeness Right Bundle branch block", "V2 Abnormal T wave", kClosing}},
    };
    for (const Case& c : cases) {
        ConclusionLines lines = Untouched();
        const int first = ComposeConclusion(Raised(c.codes), lines, english);
        ASSERT_EQ(first, c.first) << c.name;
        for (int i = 0; i < static_cast<int>(c.shown.size()); ++i)
            EXPECT_EQ(lines.line[9 - i], c.shown[i]) << c.name << ", line " << 9 - i;
        for (int i = 0; i < first; ++i)
            EXPECT_EQ(lines.line[i], "untouched") << c.name << ", line " << i;
    }
}

TEST(ConclusionComposer, ChineseTextsAndLeadNameWithoutBlank)
{
    const LanguageTable chinese = Language("中文");
    ConclusionLines lines = Untouched();
    const int first = ComposeConclusion(Raised({11, 124, 126}), lines, chinese);
    ASSERT_EQ(first, 7);
    EXPECT_EQ(lines.line[9], "正常窦性心律");
    EXPECT_EQ(lines.line[8], "V5T波异常");
    EXPECT_EQ(lines.line[7], "<<**报告需经医师确认**>>");
}

TEST(ConclusionComposer, MissingKeysGiveEmptyLines)
{
    TempDir dir;
    {
        std::ofstream f(dir.Path() / "Sparse.ini");
        f << ";Sparse\nconstr22 = axis ok\n";
    }
    LanguageTable sparse;
    sparse.SetDirectory(dir.Path().string());
    sparse.Scan();
    ASSERT_EQ(sparse.Load("Sparse"), 1);
    ConclusionLines lines = Untouched();
    const int first = ComposeConclusion(Raised({11, 22, 115, 126}), lines, sparse);
    ASSERT_EQ(first, 6);
    EXPECT_EQ(lines.line[9], "");
    EXPECT_EQ(lines.line[8], "axis ok");
    EXPECT_EQ(lines.line[7], "");  // neither the lead nor the T-wave text exists
    EXPECT_EQ(lines.line[6], "");  // nor the closing line
    EXPECT_EQ(StatementKey(126), "constr126");
    EXPECT_EQ(StatementKey(11), "constr11");
}

TEST(ConclusionComposer, EveryStatementCodeHasATextInBothLanguages)
{
    // 39 ... 41 are the blank statements; every other code from 11 to 126 has a text.
    for (const char* name : {"English", "中文"}) {
        const LanguageTable table = Language(name);
        for (int code = kFirstStatement; code <= kLastStatement; ++code) {
            const bool blank = code >= 39 && code <= 41;
            EXPECT_EQ(StatementText(code, table).empty(), blank) << name << " " << code;
        }
        EXPECT_FALSE(table.Translate(kClosingLineKey).empty()) << name;
    }
}

}  // namespace
