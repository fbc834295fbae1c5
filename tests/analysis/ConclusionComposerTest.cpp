// The conclusion composer with the program's own English and Chinese language files, and with a
// language file that lacks statement keys.
#include "analysis/ConclusionComposer.h"

#include "app/LanguageTable.h"
#include "tests/support/ShippedLanguage.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

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

TEST(ConclusionComposer, ChineseTextsAndLeadNameWithoutBlank)
{
    const LanguageTable chinese = ShippedLanguage("中文");
    ConclusionLines lines = Untouched();
    const int first = ComposeConclusion(Raised({11, 124, 126}), lines, chinese);
    ASSERT_EQ(first, 7);
    EXPECT_EQ(lines.line[9], "正常窦性心律");
    EXPECT_EQ(lines.line[8], "V5T波异常");
    EXPECT_EQ(lines.line[7], "<<**报告需经医师确认**>>");
}

TEST(ConclusionComposer, EveryStatementCodeHasATextInBothLanguages)
{
    // 39 ... 41 are the blank statements; every other code from 11 to 126 has a text.
    for (const char* name : {"English", "中文"}) {
        const LanguageTable table = ShippedLanguage(name);
        for (int code = kFirstStatement; code <= kLastStatement; ++code) {
            const bool blank = code >= 39 && code <= 41;
            EXPECT_EQ(StatementText(code, table).empty(), blank) << name << " " << code;
        }
        EXPECT_FALSE(table.Translate(kClosingLineKey).empty()) << name;
    }
}

}  // namespace
