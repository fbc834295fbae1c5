#pragma once
// The one process-wide database connection: the SQLite file Corvida.mdb in the working directory,
// open from start-up to exit. Every recordset that runs a statement is bound to it.
#include <QString>

#include "db/Ado.h"

class AppDatabase : public AdoConnection {
public:
    static AppDatabase& Instance();
    using AdoConnection::Open;
    // Opens an existing database file; false (with LastError) when it is missing, unreadable or
    // has no Patient table with every column the program reads and writes (an empty file opens
    // as an empty database, so this is what tells it from a clinic's database).
    bool Open(const QString& file);

private:
    AppDatabase() : AdoConnection("corvida") {}
};
