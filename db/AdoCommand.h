#pragma once
// A prepared statement with positional parameters ("?"), bound as values so that no text of a
// parameter can become part of the statement. The recordset commits rows through it.
#include <QString>
#include <QVariant>
#include <vector>

#include "db/Ado.h"

class AdoCommand {
public:
    explicit AdoCommand(AdoConnection* connection = nullptr) : connection_(connection) {}

    void SetAdoConnection(AdoConnection* connection) { connection_ = connection; }
    void SetCommandText(const QString& text) { text_ = text; }
    // Appends the value of the next "?"; a null QVariant binds NULL.
    void AddParameter(const QVariant& value) { parameters_.push_back(value); }
    void ClearParameters() { parameters_.clear(); }
    // Empty handle on failure; recordsAffected holds the changed rows on success.
    AdoHandle Execute();

private:
    AdoConnection* connection_;
    QString text_;
    std::vector<QVariant> parameters_;
};
