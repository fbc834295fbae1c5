#include "analysis/ConclusionComposer.h"

#include "analysis/Reading.h"
#include "foundation/LanguageTable.h"

// The English lead names carry a trailing blank that separates them from the statement, but a
// language file's values are read trimmed. Where the blank was lost and the statement is
// written in Latin letters, it is put back; a statement in another script (the Chinese one) is
// joined without a blank, as its lead names are.
std::string JoinLeadAndStatement(const std::string& lead, const std::string& statement)
{
    if (lead.empty() || statement.empty() || lead.back() == ' ')
        return lead + statement;
    for (unsigned char c : statement)
        if (c >= 0x80)
            return lead + statement;
    return lead + ' ' + statement;
}

std::string StatementKey(int code)
{
    return "constr" + std::to_string(code);
}

std::string StatementText(int code, const LanguageTable& language)
{
    return language.Translate(StatementKey(code));
}

int ComposeConclusion(const DiagnosisFlags& flags, ConclusionLines& lines,
                      const LanguageTable& language)
{
    return ComposeReading(MachineReading(flags), lines, language);
}
