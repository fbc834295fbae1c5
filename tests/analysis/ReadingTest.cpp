// The reading model: the statement codes as stored, what keeps a reading from being stored, and
// how a confirmed or amended reading is laid out in the conclusion lines.
#include "analysis/Reading.h"

#include <gtest/gtest.h>

#include "tests/support/ShippedLanguage.h"

namespace {

TEST(Reading, StatementCodesReadBackOnlyAsThisProgramWritesThem)
{
    for (const char* text : {"", "11", "12 36 126 126:114 126:125 113 22"})
        EXPECT_EQ(StatementCodes(ParseStatementCodes(text).value_or(std::vector<ReadingStatement>{{1, 1}})), text)
            << text;
    for (const char* text : {" 11", "11 ", "11  36", "10", "39", "114", "127", "0011", "11:124", "126:113",
                             "126:126", "126:", "126:0", ":124", "1e2", "-11", "11 12 13 14 15 16 17 18"})
        EXPECT_FALSE(ParseStatementCodes(text).has_value()) << text;
}

TEST(Reading, OnlyAWholeReadingWithinItsLimitsIsStored)
{
    auto reading = [](auto change) {
        Reading r;
        r.version = 2;
        r.reason = "r";
        r.readerLogin = "drwu";
        r.station = "room-2";
        r.comment = std::string(kMaxCommentLength - 1, 'x') + "心";  // characters, not bytes
        r.values[kValueQrsAxis] = -1800;
        r.values[kValueHeartRate] = 400;
        change(r);
        return CheckReading(r);
    };
    EXPECT_EQ(reading([](Reading&) {}), ReadingProblem::Valid);
    EXPECT_EQ(reading([](Reading& r) { r.readerLogin.clear(); }), ReadingProblem::NoReader);
    EXPECT_EQ(reading([](Reading& r) { r.statements = {{126, 113}}; }), ReadingProblem::BadStatement);
    EXPECT_EQ(reading([](Reading& r) { r.statements.assign(8, {11, 0}); }), ReadingProblem::TooManyStatements);
    EXPECT_EQ(reading([](Reading& r) { r.values[kValueTAxis] = 1801; }), ReadingProblem::BadValue);
    EXPECT_EQ(reading([](Reading& r) { r.values[kValuePr] = 0; }), ReadingProblem::BadValue);
    EXPECT_EQ(reading([](Reading& r) { r.comment += "x"; }), ReadingProblem::CommentTooLong);
    EXPECT_EQ(reading([](Reading& r) { r.reason.clear(); }), ReadingProblem::ReasonMissing);
    EXPECT_EQ(reading([](Reading& r) { r.reason.assign(kMaxReasonLength + 1, 'r'); }), ReadingProblem::ReasonTooLong);
    EXPECT_EQ(reading([](Reading& r) { r.printedName.assign(kMaxNameLength + 1, 'n'); }), ReadingProblem::NameTooLong);
    EXPECT_EQ(CleanReadingText(" a\r\nb\t\x7f" "c "), "a  b  c");
}

TEST(Reading, AConfirmedReadingTakesTheClosingLine_AnAmendmentAddsItsReason_TheCommentComesLast)
{
    const LanguageTable english = ShippedLanguage();
    Reading r;
    r.version = 1;
    r.statements = {{12, 0}, {126, 124}};
    r.readerLogin = "drwu";
    r.readerName = "Wu Lan";
    r.readAt = "2026-03-07 09:05:41";
    ConclusionLines lines;
    EXPECT_EQ(ComposeReading(r, lines, english), 7);
    EXPECT_EQ(lines.line[8], "V5 T wave abnormality");
    EXPECT_EQ(lines.line[7], "Confirmed by Wu Lan (drwu) 2026-03-07 09:05:41");

    r.version = 3;
    r.statements.assign(kMaxReadingStatements, {11, 0});
    r.printedName = "Dr. W. Lan";
    r.reason = "QT by hand";
    r.comment = "compare with last year";
    EXPECT_EQ(ComposeReading(r, lines, english), 0);
    EXPECT_EQ(std::vector<std::string>(lines.line.begin(), lines.line.begin() + 3),
              std::vector<std::string>({"Comment: compare with last year", "Reason: QT by hand",
                                        "Amended by Dr. W. Lan (drwu) 2026-03-07 09:05:41"}));
}

TEST(Reading, CorrectionsReplaceTheMachinesValuesAndAreMarked)
{
    MeasurementSet machine;
    machine.qt = 380;
    machine.tDuration = 160;
    CorrectedValues v;
    v[kValueQt] = 412;
    v[kValueTAxis] = -305;
    const MeasurementSet m = CorrectedMeasurements(machine, v);
    EXPECT_EQ(std::tuple(m.qt, m.tDuration, m.tAxis), std::tuple(412, 160, -305.0f));
    EXPECT_EQ(CorrectedMarks(v), (1u << 5) | (1u << 9));
}

}  // namespace
