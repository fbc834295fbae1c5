// The statement texts of the program's own English and Chinese language files.
#include "analysis/ConclusionComposer.h"

#include "app/LanguageTable.h"
#include "tests/support/ShippedLanguage.h"

#include <gtest/gtest.h>

namespace {

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
