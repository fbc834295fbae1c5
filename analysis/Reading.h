#pragma once
// A reading of a record: the statements and interval values a physician confirms, with a comment,
// who confirmed it and when, and for an amendment its reason. Version 0 is the machine's own
// reading, taken from the analysis; every confirmation or amendment is the next version. The
// screen, the paper and the archive show a record through ComposeReading, so all three say the
// same. Plain standard C++.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/AnalysisTypes.h"

class LanguageTable;

// The values a reader may correct, in the order they are shown. Intervals and the heart rate in
// ms and beats per minute, axes in tenths of a degree as the MeasurementSet keeps them.
enum ReadingValue : int {
    kValueHeartRate, kValuePDuration, kValuePr, kValueQrs, kValueQt, kValueQtc,
    kValuePAxis, kValueQrsAxis, kValueTAxis, kReadingValueCount,
};
struct ReadingValueLimits {
    const char* name;  // as stored and exported
    int32_t min, max;
};
// Heart rates and intervals beyond these are not a human ECG; an axis lies within a half turn.
inline constexpr std::array<ReadingValueLimits, kReadingValueCount> kReadingValueLimits = {{
    {"HeartRate", 1, 400}, {"PDuration", 1, 400}, {"PR", 1, 1000}, {"QRS", 1, 400},
    {"QT", 1, 1000}, {"QTc", 1, 1000}, {"PAxis", -1800, 1800}, {"QRSAxis", -1800, 1800},
    {"TAxis", -1800, 1800},
}};
using CorrectedValues = std::array<std::optional<int32_t>, kReadingValueCount>;

// One statement line: a catalogue code, and for the abnormal T wave the lead code (114 ... 125)
// that names its lead, or 0 for none.
struct ReadingStatement {
    int code = 0;
    int lead = 0;
    bool operator==(const ReadingStatement&) const = default;
};

// What the paper and the screen have room for: seven statement lines, as the machine's reading.
constexpr int kMaxReadingStatements = 7;
// Characters (code points) of the texts a reader types. A comment longer than this is refused,
// never cut; line breaks and other control characters become blanks.
constexpr int kMaxCommentLength = 1000;
constexpr int kMaxReasonLength = 200;
constexpr int kMaxNameLength = 64;  // reader's full name, printed name, login, station

struct Reading {
    int version = 0;  // 0: the machine's
    std::vector<ReadingStatement> statements;
    CorrectedValues values;
    std::string comment;
    std::string reason;       // an amendment's (version 2 on); empty for the first confirmation
    std::string readerLogin;  // the station's logged-in user
    std::string readerName;   // that user's full name from the system
    std::string printedName;  // the name the reader wants on paper; empty: the full name
    std::string station;      // host name
    std::string readAt;       // local time "yyyy-MM-dd HH:mm:ss"
};

// True for a code a reading may hold: a catalogue statement with a text of its own, or the
// abnormal T wave with no lead or one of the twelve.
bool IsReadingStatement(const ReadingStatement& statement);
// Every statement a reader may add, in catalogue order, the abnormal T wave once without a lead
// and once per lead.
std::vector<ReadingStatement> StatementCatalogue();
// The statement's text in the loaded language, the T wave with its lead in front.
std::string ReadingStatementText(const ReadingStatement& statement, const LanguageTable& language);

// The machine's reading of raised flags: the statements the conclusion shows, in its order (the
// T wave with the highest raised lead), at most seven.
Reading MachineReading(const DiagnosisFlags& flags);

// "11 36 126:124" and back; nullopt for any other text.
std::string StatementCodes(const std::vector<ReadingStatement>& statements);
std::optional<std::vector<ReadingStatement>> ParseStatementCodes(const std::string& text);

// Control characters (line breaks too) become blanks, leading and trailing blanks go.
std::string CleanReadingText(const std::string& text);
// Code points of a UTF-8 text.
size_t TextLength(const std::string& text);

// What keeps a reading from being stored; Valid when nothing does. An amendment (version 2 on)
// needs its reason.
enum class ReadingProblem { Valid, NoReader, BadStatement, TooManyStatements, BadValue, CommentTooLong,
                            ReasonMissing, ReasonTooLong, NameTooLong };
ReadingProblem CheckReading(const Reading& reading);

// The machine's measurements with the reading's corrections in place, and which of its ten
// values (heart rate, P, PR, QRS, T, QT, QTc, P, QRS and T axis: the MeasurementSet's order) were
// corrected, as a bit per value.
MeasurementSet CorrectedMeasurements(const MeasurementSet& machine, const CorrectedValues& values);
uint32_t CorrectedMarks(const CorrectedValues& values);

// The conclusion lines of a confirmed reading, laid out as the composer lays out the machine's:
// the statements from line 9 down, then in place of the closing line who confirmed it and when
// ("Confirmed by NAME (login) DATE TIME", or "Amended by ..." and the reason on the next line),
// then the comment. Returns the first used line. A machine reading (version 0) is composed by
// the composer itself.
int ComposeReading(const Reading& reading, ConclusionLines& lines, const LanguageTable& language);
// "NAME (login) yyyy-MM-dd HH:mm:ss": the name printed, else the full name, else the login alone.
std::string ReaderLine(const Reading& reading);
