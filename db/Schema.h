#pragma once
// The tables of a patient database as the shipped schema files (db/Patient.sql for SQLite,
// db/PatientPostgres.sql for PostgreSQL) make them. The program never creates or alters Patient;
// every other table of the files is made when a database lacks it, so a Corvida.mdb or a server
// database from before that table existed gets it at start-up, Patient untouched.
#include <QString>
#include <QStringList>

class AdoConnection;

// The engine's schema file.
QString SchemaText(bool postgres);
// The statements of a schema that make `table`: its CREATE TABLE and its indexes, in file order.
QStringList TableStatements(const QString& schema, const QString& table);
// The tables a schema makes, in file order.
QStringList SchemaTables(const QString& schema);
// The column names a schema's CREATE TABLE gives `table`.
QStringList SchemaColumns(const QString& schema, const QString& table);

// The start-up check: Patient and every other table with all their columns, the missing tables
// other than Patient made first, in one transaction (two stations starting together make a
// table once). False, with the reason in the connection's LastError, when a table is missing or
// lacks a column, or cannot be made.
bool CheckSchema(AdoConnection& db, bool postgres);
