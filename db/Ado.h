#pragma once
// The database access layer: one connection, query results with a current row, prepared commands.
// The engine is SQLite (one station) or PostgreSQL (a server several stations share) behind Qt
// Sql; statements arrive in the Jet dialect the program has always written and are translated
// here (see JetToSqlite, JetToPostgres). Every engine error becomes a false result, an
// empty handle or an unchanged output argument; callers choose the message. A connection is used
// only by the thread that opened it (the user-interface thread).
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Command options, cursor types, lock types and cursor locations, by the values callers pass.
inline constexpr int kAdCmdText = 1;
inline constexpr int kAdOpenStatic = 3;
inline constexpr int kAdLockReadOnly = 1;
inline constexpr int kAdLockOptimistic = 3;
inline constexpr int kAdUseServer = 2;
inline constexpr int kAdUseClient = 3;

// Seconds a statement, a lock wait or a new connection may take before the caller is told it
// failed. A patient query or store takes milliseconds, another station holds the table for
// milliseconds, and a slow clinic network adds well under a second; beyond 5 s the server is
// stalled or gone, and a window that has not answered for 5 s is taken for a hung program.
inline constexpr int kDatabaseTimeLimitSeconds = 5;

// Field values to the program's own types.
// Empty/NULL "", integers "%d" (64-bit ones by their low 32 bits), float "%.4f", double "%.8f",
// date "yyyy-MM-dd HH:mm:ss", text as is, booleans "TRUE"/"FALSE", binary "[BLOB]", else "UN_KNOW".
QString VariantToText(const QVariant& value);
// Empty/NULL 0; integers by value (true is -1); float and double value + 0.5 truncated toward zero;
// text its leading decimal number after blanks (0 when none); values beyond 32 bits saturate.
int32_t VariantToLong(const QVariant& value);
// A date value, or a text in the stored date form "yyyy-MM-dd HH:mm:ss"; anything else gives a
// null date.
QDateTime VariantToDate(const QVariant& value);

// A statement in the Jet dialect rewritten for SQLite: #date# literals and date texts written
// into date columns become the stored form "yyyy-MM-dd HH:mm:ss". dateColumns are lower-case
// column names of date type. Empty when a date in the statement is not a valid date.
QString JetToSqlite(const QString& statement, const QStringList& dateColumns);
// The same for PostgreSQL, where Like also becomes ILIKE ... ESCAPE '' (before a literal or a "?"):
// Jet's Like ignores letter case and knows no escape character.
QString JetToPostgres(const QString& statement, const QStringList& dateColumns);

// The rows of one result, fetched whole (a static, client-side snapshot).
struct AdoResult {
    QStringList columns;
    std::vector<std::vector<QVariant>> rows;
    int recordsAffected = 0;  // statements without a result: rows changed
    QString table;            // single-table selects: the table rows can be written back to
    QStringList keyColumns;   // primary key columns of that table, all present in columns
};
// What Execute gives; empty on failure. A statement without rows gives a result without columns.
using AdoHandle = std::shared_ptr<AdoResult>;

class AdoConnection {
public:
    explicit AdoConnection(const QString& name = QString());
    virtual ~AdoConnection();
    AdoConnection(const AdoConnection&) = delete;
    AdoConnection& operator=(const AdoConnection&) = delete;

    // The time limit of every statement, lock wait and new connection (0: none), for the
    // connections made after it.
    bool SetConnectTimeOut(int seconds);
    // "Data Source=" + path; the file must exist and be a database (never created here).
    bool OpenAccess(const QString& path, int options = -1);
    // connection: "Key=value; ..." with a "Data Source" (a SQLite file), or with
    // "Provider=PostgreSQL" and Host, Port, Database and User (the password comes from libpq's
    // own password or service file); an empty text reuses the last one.
    bool Open(const QString& connection, int options);
    // Runs one statement; options kAdCmdText. Empty handle on failure.
    AdoHandle Execute(const QString& statement, int options = kAdCmdText);
    // Execute without the options check: traces, translates and runs one Jet statement, its "?"
    // bound to values in order.
    AdoHandle Query(const QString& statement, const std::vector<QVariant>& values = {});
    bool IsOpen() const;
    // Open on a PostgreSQL server, which other stations may share.
    bool IsServer() const { return open_ && postgres_; }
    void Close();
    // The column names of a table, matched without regard to letter case (none when it is
    // missing); nullopt when the catalogue cannot be read.
    std::optional<QStringList> TableColumns(const QString& table);

    // A transaction that holds the table against every other writer until Commit or Rollback
    // (SQLite: the database's write lock; PostgreSQL: an exclusive table lock, readers go on).
    bool BeginLocked(const QString& table);
    bool Commit();
    void Rollback();
    // The last failure was a clash with another station (lock, serialization, a key taken
    // meanwhile): trying the whole transaction again may succeed.
    bool LastFailureWasConflict() const { return conflict_; }

    // The engine's text of the last failure (debug use only; never shown as a message).
    QString LastError() const { return lastError_; }
    // Receives every statement exactly as the program sent it, before translation.
    void SetStatementTrace(std::function<void(const QString&)> trace) { trace_ = std::move(trace); }

    QString ConnectionName() const { return name_; }
    // Runs an engine statement with "?" placeholders bound to values (no translation, no trace).
    AdoHandle Run(const QString& statement, const std::vector<QVariant>& values);
    // Records a failure of an operation for the debug trace; never shown to the user.
    void Fail(const char* operation, const QString& error);

private:
    bool Connect();
    // On PostgreSQL, outside a transaction: a connection that no longer answers is made anew.
    // True when a new one is up, so the failed statement is worth sending again.
    bool Revive();
    // Runs call, the engine's blocking work on this connection, within the time limit. A
    // PostgreSQL server that has not answered by then (a stopped process, or a hung host whose
    // kernel still acknowledges, so that neither keepalives nor the server's own timeouts end
    // the wait) has its link cut under the call: the socket is shut down, never closed (the
    // driver owns it), and the call returns with an error. False then, with stalled_ set.
    bool Within(const std::function<bool()>& call);
    // The socket of a PostgreSQL link; -1 for SQLite.
    int Socket() const;
    // Forgets the link to the engine; the next statement makes a new one.
    void DropLink();
    void LoadDateColumns();
    void Describe(AdoResult& result, const QString& statement);

    QString name_;
    QString connection_;
    int timeoutSeconds_ = kDatabaseTimeLimitSeconds;
    bool open_ = false;
    bool stalled_ = false;  // the last call within the time limit had its link cut
    bool postgres_ = false;
    bool inTransaction_ = false;
    bool conflict_ = false;
    QString lastError_;
    QStringList dateColumns_;  // lower case, of every table
    std::function<void(const QString&)> trace_;
};
