#pragma once
// The one process-wide database connection, open from start-up to exit: the SQLite file
// Corvida.mdb in the working directory, or a PostgreSQL database several stations share. Every
// recordset that runs a statement is bound to it.
#include <QString>

#include "db/Ado.h"

class AppDatabase : public AdoConnection {
public:
    static AppDatabase& Instance();
    using AdoConnection::Open;
    // Opens an existing database file; false (with LastError) when it is missing, unreadable or
    // has no Patient table with every column the program reads and writes (an empty file opens
    // as an empty database, so this is what tells it from a clinic's database). The tables added
    // since Patient are made when missing (see AddedTables), Patient left as it is.
    bool Open(const QString& file);
    // The same for a PostgreSQL database; host may be the folder of a Unix socket. The password,
    // if any, comes from libpq's password or service file, never from here.
    bool OpenServer(const QString& host, int port, const QString& database, const QString& user);

private:
    AppDatabase() : AdoConnection("corvida") {}
    bool CheckSchema();
    // False with LastError when the table is missing and cannot be made, or lacks a column.
    bool HasTable(const QString& table, const QStringList& columns, const QStringList& create);
};
