#include "db/AppDatabase.h"

#include <QStringList>
#include <vector>

#include "db/PatientOrder.h"
#include "db/ReadingStore.h"

AppDatabase& AppDatabase::Instance()
{
    static AppDatabase db;
    return db;
}

bool AppDatabase::Open(const QString& file)
{
    return OpenAccess(file, -1) && CheckSchema();
}

bool AppDatabase::OpenServer(const QString& host, int port, const QString& database,
                             const QString& user)
{
    return Open(QString("Provider=PostgreSQL;Host=%1;Port=%2;Database=%3;User=%4")
                    .arg(host)
                    .arg(port)
                    .arg(database, user),
                -1) &&
           CheckSchema();
}

namespace {

// A table the program added after Patient: start-up makes it in a database that has none (a
// clinic's database from before it, a new server), by statements both engines take.
struct AddedTable {
    QString name;
    QStringList columns;
    QStringList create;
};

std::vector<AddedTable> AddedTables()
{
    return {{kPatientOrderTable, PatientOrderColumns(), {PatientOrderCreateStatement()}},
            {kReadingTable, ReadingColumns(), ReadingCreateStatements()}};
}

}  // namespace

bool AppDatabase::CheckSchema()
{
    bool usable = HasTable("Patient", {"PatientID", "Name", "Age", "Height", "Weight", "Blood", "Sex",
                                       "Other", "ClinicalNo", "NewDate", "Isdel"}, {});
    for (const AddedTable& table : AddedTables())
        usable = usable && HasTable(table.name, table.columns, table.create);
    if (!usable)
        Close();
    return usable;
}

bool AppDatabase::HasTable(const QString& table, const QStringList& columns, const QStringList& create)
{
    std::optional<QStringList> present = TableColumns(table);
    QString why;
    if (present && present->isEmpty() && !create.isEmpty()) {
        // A station starting at the same moment may make it first; then it is there all the same.
        for (const QString& statement : create) {
            if (!Run(statement, {})) {
                why = LastError();
                break;
            }
        }
        present = TableColumns(table);
    }
    QStringList missing = columns;
    for (const QString& column : present.value_or(QStringList()))
        missing.removeIf([&](const QString& c) { return c.compare(column, Qt::CaseInsensitive) == 0; });
    if (!present)
        why = LastError();
    else if (!missing.isEmpty() && (why.isEmpty() || !present->isEmpty()))
        why = QString("The %1 table lacks the columns %2.").arg(table, missing.join(", "));
    if (missing.isEmpty() && present)
        return true;
    Fail("Open", why);
    return false;
}
