#include "db/AppDatabase.h"

#include <QStringList>

AppDatabase& AppDatabase::Instance()
{
    static AppDatabase db;
    return db;
}

bool AppDatabase::Open(const QString& file)
{
    if (!OpenAccess(file, -1))
        return false;
    QStringList missing{"PatientID", "Name", "Age", "Height", "Weight",
                        "Blood", "Sex", "Other", "ClinicalNo", "NewDate", "Isdel"};
    const AdoHandle columns = Run("PRAGMA table_info(Patient)", {});
    if (columns) {
        for (const auto& row : columns->rows)
            missing.removeIf([&](const QString& c) {
                return c.compare(row.at(1).toString(), Qt::CaseInsensitive) == 0;
            });
    }
    if (!columns || !missing.isEmpty()) {
        Fail("Open", columns ? "The Patient table lacks the columns " + missing.join(", ") + "."
                             : LastError());
        Close();
        return false;
    }
    return true;
}
