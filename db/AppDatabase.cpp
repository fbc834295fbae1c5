#include "db/AppDatabase.h"

#include "db/Schema.h"

AppDatabase& AppDatabase::Instance()
{
    static AppDatabase db;
    return db;
}

bool AppDatabase::Open(const QString& file)
{
    return OpenAccess(file, -1) && CheckTables();
}

bool AppDatabase::OpenServer(const QString& host, int port, const QString& database,
                             const QString& user)
{
    return Open(QString("Provider=PostgreSQL;Host=%1;Port=%2;Database=%3;User=%4")
                    .arg(host)
                    .arg(port)
                    .arg(database, user),
                -1) &&
           CheckTables();
}

bool AppDatabase::CheckTables()
{
    if (CheckSchema(*this, IsPostgres()))
        return true;
    Close();
    return false;
}
