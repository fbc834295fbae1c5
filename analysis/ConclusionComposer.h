#pragma once
// The statement catalogue (texts under the keys "constr11" ... "constr126" of the language
// file) and the composer that writes the raised statements into the conclusion lines.
#include "analysis/AnalysisTypes.h"

#include <string>

class LanguageTable;

constexpr int kFirstStatement = 11;
constexpr int kLastStatement = 126;
constexpr int kFirstLeadPrefix = 114;  // 114 ... 125: lead names, shown only before code 126
constexpr int kAbnormalTWave = 126;
inline constexpr const char* kClosingLineKey = "<<**Report need physician confirm**>>";

// "constr%d" with the code.
std::string StatementKey(int code);
// The text of a statement code in the loaded language; empty when the file lacks the key.
std::string StatementText(int code, const LanguageTable& language);

// A lead name and the abnormal T wave as one line, a blank between them in Latin script only.
std::string JoinLeadAndStatement(const std::string& lead, const std::string& statement);

// Writes up to seven statements from line 9 downward in code order and the closing line after
// them; returns the index of the closing line. Lines below it are left as they were.
int ComposeConclusion(const DiagnosisFlags& flags, ConclusionLines& lines,
                      const LanguageTable& language);
