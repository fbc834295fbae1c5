#include "db/AppDatabase.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

AppDatabase& AppDatabase::Instance()
{
    static AppDatabase db;
    return db;
}

bool AppDatabase::Open(const QString& file)
{
    Close();
    if (!QFileInfo(file).isFile()) {
        lastError_ = "The file does not exist.";
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", ConnectionName());
    db.setDatabaseName(file);
    db.setConnectOptions(QString("QSQLITE_BUSY_TIMEOUT=%1").arg(timeoutSeconds_ * 1000));
    // Reading the schema proves the file is a database and not just any file of that name.
    if (!db.open() || !QSqlQuery("SELECT count(*) FROM sqlite_master", db).exec()) {
        lastError_ = db.lastError().text();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(ConnectionName());
        return false;
    }
    open_ = true;
    return true;
}

void AppDatabase::Close()
{
    if (QSqlDatabase::contains(ConnectionName())) {
        QSqlDatabase::database(ConnectionName(), false).close();
        QSqlDatabase::removeDatabase(ConnectionName());
    }
    open_ = false;
}
