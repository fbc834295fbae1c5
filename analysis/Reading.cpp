#include "analysis/Reading.h"

#include <cstdlib>
#include <sstream>

#include "analysis/ConclusionComposer.h"
#include "foundation/LanguageTable.h"

namespace {

// Codes 39 ... 41 are blank lines in both catalogues: nothing a reader could mean.
bool IsBlankStatement(int code)
{
    return code >= 39 && code <= 41;
}

bool IsLeadCode(int code)
{
    return code >= kFirstLeadPrefix && code < kAbnormalTWave;
}

// Plain decimal of at most three digits.
std::optional<int> ParseNumber(const std::string& text)
{
    if (text.empty() || text.size() > 3)
        return std::nullopt;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

}  // namespace

bool IsReadingStatement(const ReadingStatement& s)
{
    if (s.code == kAbnormalTWave)
        return s.lead == 0 || IsLeadCode(s.lead);
    return s.lead == 0 && s.code >= kFirstStatement && s.code < kFirstLeadPrefix &&
           !IsBlankStatement(s.code);
}

std::vector<ReadingStatement> StatementCatalogue()
{
    std::vector<ReadingStatement> all;
    for (int code = kFirstStatement; code < kFirstLeadPrefix; ++code)
        if (!IsBlankStatement(code))
            all.push_back({code, 0});
    all.push_back({kAbnormalTWave, 0});
    for (int lead = kFirstLeadPrefix; lead < kAbnormalTWave; ++lead)
        all.push_back({kAbnormalTWave, lead});
    return all;
}

std::string ReadingStatementText(const ReadingStatement& s, const LanguageTable& language)
{
    const std::string text = StatementText(s.code, language);
    return s.lead ? JoinLeadAndStatement(StatementText(s.lead, language), text) : text;
}

Reading MachineReading(const DiagnosisFlags& flags)
{
    Reading machine;
    int lead = 0;
    for (int code = kFirstStatement; code < kDiagnosisCodes; ++code) {
        if (flags[code] == 0)
            continue;
        if (IsLeadCode(code)) {
            lead = code;
            continue;
        }
        if (static_cast<int>(machine.statements.size()) < kMaxReadingStatements)
            machine.statements.push_back({code, code == kAbnormalTWave ? lead : 0});
    }
    return machine;
}

std::string StatementCodes(const std::vector<ReadingStatement>& statements)
{
    std::string text;
    for (const ReadingStatement& s : statements) {
        if (!text.empty())
            text += ' ';
        text += std::to_string(s.code);
        if (s.lead)
            text += ':' + std::to_string(s.lead);
    }
    return text;
}

std::optional<std::vector<ReadingStatement>> ParseStatementCodes(const std::string& text)
{
    std::vector<ReadingStatement> statements;
    std::istringstream in(text);
    for (std::string token; in >> token;) {
        const size_t colon = token.find(':');
        const std::optional<int> code = ParseNumber(token.substr(0, colon));
        const std::optional<int> lead =
            colon == std::string::npos ? std::optional<int>(0) : ParseNumber(token.substr(colon + 1));
        if (!code || !lead || (colon != std::string::npos && *lead == 0))
            return std::nullopt;
        statements.push_back({*code, *lead});
        if (!IsReadingStatement(statements.back()) || statements.size() > kMaxReadingStatements)
            return std::nullopt;
    }
    // Only single blanks between the codes: anything else is not a text this program wrote.
    if (StatementCodes(statements) != text)
        return std::nullopt;
    return statements;
}

std::string CleanReadingText(const std::string& text)
{
    std::string clean = text;
    for (char& c : clean)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    const size_t first = clean.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return clean.substr(first, clean.find_last_not_of(' ') - first + 1);
}

size_t TextLength(const std::string& text)
{
    size_t n = 0;
    for (unsigned char c : text)
        n += (c & 0xC0) != 0x80;
    return n;
}

ReadingProblem CheckReading(const Reading& r)
{
    if (r.readerLogin.empty() || r.station.empty())
        return ReadingProblem::NoReader;
    if (r.statements.size() > kMaxReadingStatements)
        return ReadingProblem::TooManyStatements;
    for (const ReadingStatement& s : r.statements)
        if (!IsReadingStatement(s))
            return ReadingProblem::BadStatement;
    for (int i = 0; i < kReadingValueCount; ++i)
        if (r.values[i] && (*r.values[i] < kReadingValueLimits[i].min || *r.values[i] > kReadingValueLimits[i].max))
            return ReadingProblem::BadValue;
    if (TextLength(r.comment) > kMaxCommentLength)
        return ReadingProblem::CommentTooLong;
    if (r.version > 1 && r.reason.empty())
        return ReadingProblem::ReasonMissing;
    if (TextLength(r.reason) > kMaxReasonLength)
        return ReadingProblem::ReasonTooLong;
    for (const std::string* name : {&r.readerLogin, &r.readerName, &r.printedName, &r.station})
        if (TextLength(*name) > kMaxNameLength)
            return ReadingProblem::NameTooLong;
    return ReadingProblem::Valid;
}

MeasurementSet CorrectedMeasurements(const MeasurementSet& machine, const CorrectedValues& v)
{
    MeasurementSet m = machine;
    auto put = [&v](int i, int32_t& field) {
        if (v[i])
            field = *v[i];
    };
    auto putAxis = [&v](int i, float& field) {
        if (v[i])
            field = static_cast<float>(*v[i]);
    };
    put(kValueHeartRate, m.heartRate);
    put(kValuePDuration, m.pDuration);
    put(kValuePr, m.pr);
    put(kValueQrs, m.qrs);
    put(kValueQt, m.qt);
    put(kValueQtc, m.qtc);
    putAxis(kValuePAxis, m.pAxis);
    putAxis(kValueQrsAxis, m.qrsAxis);
    putAxis(kValueTAxis, m.tAxis);
    return m;
}

uint32_t CorrectedMarks(const CorrectedValues& v)
{
    // The MeasurementSet's order: heart rate, P, PR, QRS, T, QT, QTc, P axis, QRS axis, T axis.
    constexpr std::array<int, kReadingValueCount> kField = {0, 1, 2, 3, 5, 6, 7, 8, 9};
    uint32_t marks = 0;
    for (int i = 0; i < kReadingValueCount; ++i)
        if (v[i])
            marks |= 1u << kField[i];
    return marks;
}

std::string ReaderLine(const Reading& r)
{
    const std::string& name = !r.printedName.empty() ? r.printedName : r.readerName;
    std::string line = name.empty() ? r.readerLogin : name + " (" + r.readerLogin + ")";
    return line + " " + r.readAt;
}

int ComposeReading(const Reading& r, ConclusionLines& lines, const LanguageTable& language)
{
    int slot = 9;
    for (const ReadingStatement& s : r.statements)
        if (slot > 2)
            lines.line[slot--] = ReadingStatementText(s, language);
    if (r.version == 0) {
        lines.line[slot] = language.Translate(kClosingLineKey);
        return slot;
    }
    const bool amended = r.version > 1;
    lines.line[slot] = (amended ? language.Translate("Amended by") : language.Translate("Confirmed by")) +
                       " " + ReaderLine(r);
    if (amended)
        lines.line[--slot] = language.Translate("Reason") + ": " + r.reason;
    if (!r.comment.empty())
        lines.line[--slot] = language.Translate("Comment") + ": " + r.comment;
    return slot;
}
