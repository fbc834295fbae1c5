#include "db/AppDatabase.h"

#include <QStringList>

AppDatabase& AppDatabase::Instance()
{
    static AppDatabase db;
    return db;
}

bool AppDatabase::Open(const QString& file)
{
    return OpenAccess(file, -1) && HasPatientTable();
}

bool AppDatabase::OpenServer(const QString& host, int port, const QString& database,
                             const QString& user)
{
    return Open(QString("Provider=PostgreSQL;Host=%1;Port=%2;Database=%3;User=%4")
                    .arg(host)
                    .arg(port)
                    .arg(database, user),
                -1) &&
           HasPatientTable();
}

bool AppDatabase::HasPatientTable()
{
    QStringList missing{"PatientID", "Name", "Age", "Height", "Weight",
                        "Blood", "Sex", "Other", "ClinicalNo", "NewDate", "Isdel"};
    const std::optional<QStringList> columns = TableColumns("Patient");
    for (const QString& column : columns.value_or(QStringList()))
        missing.removeIf([&](const QString& c) { return c.compare(column, Qt::CaseInsensitive) == 0; });
    if (!columns || !missing.isEmpty()) {
        Fail("Open", columns ? "The Patient table lacks the columns " + missing.join(", ") + "."
                             : LastError());
        Close();
        return false;
    }
    return true;
}
