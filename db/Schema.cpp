#include "db/Schema.h"

#include <QRegularExpression>

#include "SchemaFiles.h"
#include "db/Ado.h"

namespace {

constexpr char kPatientTable[] = "Patient";

// The statements of a schema file, comments gone. The files hold no ';' or "--" inside a literal.
QStringList Statements(const QString& schema)
{
    QStringList lines = schema.split('\n');
    for (QString& line : lines)
        line = line.left(line.indexOf("--"));
    QStringList statements;
    for (const QString& statement : lines.join('\n').split(';'))
        if (!statement.trimmed().isEmpty())
            statements << statement.trimmed();
    return statements;
}

// The table a statement makes or indexes; empty for any other statement.
QString TableOf(const QString& statement)
{
    static const QRegularExpression made(
        R"(^CREATE\s+(?:TABLE\s+(\w+)|(?:UNIQUE\s+)?INDEX\s+\w+\s+ON\s+(\w+)))",
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = made.match(statement);
    return m.hasMatch() ? m.captured(1) + m.captured(2) : QString();
}

bool IsCreateTable(const QString& statement)
{
    return statement.startsWith("CREATE TABLE", Qt::CaseInsensitive);
}

// Makes a table the database lacks, unless another station made it meanwhile.
bool MakeTable(AdoConnection& db, const QString& schema, const QString& table)
{
    const std::optional<QStringList> columns = db.TableColumns(table);
    if (!columns)
        return false;
    if (!columns->isEmpty())
        return true;
    for (const QString& statement : TableStatements(schema, table))
        if (!db.Run(statement, {}))
            return false;
    return true;
}

}  // namespace

QString SchemaText(bool postgres)
{
    return QString::fromUtf8(postgres ? kPostgresSchema : kSqliteSchema);
}

QStringList TableStatements(const QString& schema, const QString& table)
{
    QStringList made;
    for (const QString& statement : Statements(schema))
        if (TableOf(statement).compare(table, Qt::CaseInsensitive) == 0)
            made << statement;
    return made;
}

QStringList SchemaTables(const QString& schema)
{
    QStringList tables;
    for (const QString& statement : Statements(schema))
        if (IsCreateTable(statement))
            tables << TableOf(statement);
    return tables;
}

QStringList SchemaColumns(const QString& schema, const QString& table)
{
    QStringList columns;
    for (const QString& statement : TableStatements(schema, table)) {
        if (!IsCreateTable(statement))
            continue;
        // The definitions between the outer parentheses, split at the commas outside any inner
        // ones; a table constraint (PRIMARY KEY ...) names no column of its own.
        const QString body = statement.mid(statement.indexOf('(') + 1).chopped(1);
        int depth = 0;
        QString piece;
        for (const QChar c : body + ',') {
            depth += c == '(' ? 1 : c == ')' ? -1 : 0;
            if (c != ',' || depth > 0) {
                piece += c;
                continue;
            }
            const QString name = piece.trimmed().section(QRegularExpression(R"(\s)"), 0, 0);
            static const QStringList constraints{"PRIMARY", "UNIQUE", "CONSTRAINT", "FOREIGN", "CHECK"};
            if (!name.isEmpty() && !constraints.contains(name.toUpper()))
                columns << name;
            piece.clear();
        }
    }
    return columns;
}

namespace {

// The table's columns that the database lacks, said in LastError; false when the catalogue
// cannot be read or a column is missing.
bool HasColumns(AdoConnection& db, const QString& schema, const QString& table)
{
    const std::optional<QStringList> columns = db.TableColumns(table);
    if (!columns)
        return false;
    QStringList missing = SchemaColumns(schema, table);
    for (const QString& column : *columns)
        missing.removeIf([&](const QString& c) { return c.compare(column, Qt::CaseInsensitive) == 0; });
    if (missing.isEmpty())
        return true;
    db.Fail("Open", columns->isEmpty()
                        ? QString("There is no %1 table.").arg(table)
                        : QString("The %1 table lacks the columns %2.").arg(table, missing.join(", ")));
    return false;
}

}  // namespace

bool CheckSchema(AdoConnection& db, bool postgres)
{
    const QString schema = SchemaText(postgres);
    // A file without the Patient table is no patient database: nothing is made in it.
    if (!HasColumns(db, schema, kPatientTable))
        return false;
    QStringList tables = SchemaTables(schema);
    tables.removeIf([](const QString& t) { return t.compare(kPatientTable, Qt::CaseInsensitive) == 0; });
    QStringList absent;
    for (const QString& table : tables) {
        const std::optional<QStringList> columns = db.TableColumns(table);
        if (!columns)
            return false;
        if (columns->isEmpty())
            absent << table;
    }
    // The Patient lock holds off another station making the same tables at the same moment.
    if (!absent.isEmpty()) {
        if (!db.BeginLocked(kPatientTable))
            return false;
        for (const QString& table : absent) {
            if (!MakeTable(db, schema, table)) {
                const QString error = db.LastError();
                db.Rollback();
                db.Fail("Open", QString("The %1 table cannot be made: %2").arg(table, error));
                return false;
            }
        }
        if (!db.Commit())
            return false;
    }
    for (const QString& table : tables)
        if (!HasColumns(db, schema, table))
            return false;
    return true;
}
