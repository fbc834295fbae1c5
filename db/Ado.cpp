#include "db/Ado.h"

#include <QDate>
#include <algorithm>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMap>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTime>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

#include <libpq-fe.h>
#include <sys/socket.h>

// Off unless QT_LOGGING_RULES="corvida.db.debug=true": engine failures are never shown in normal
// running, but a developer can watch them.
Q_LOGGING_CATEGORY(lcDatabase, "corvida.db", QtInfoMsg)

namespace {

constexpr char kStoredDateFormat[] = "yyyy-MM-dd HH:mm:ss";

int32_t Saturate(long long value)
{
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// The forms a Jet date may be written in: "2009-3-7  9:5:41" (any blanks between date and time,
// seconds or the whole time optional), the same with '/', and the US form "3/7/2009 9:05:41".
QDateTime ParseJetDate(const QString& text)
{
    static const QRegularExpression iso(
        R"(^\s*(\d{4})[-/](\d{1,2})[-/](\d{1,2})(?:\s+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)");
    static const QRegularExpression us(
        R"(^\s*(\d{1,2})/(\d{1,2})/(\d{4})(?:\s+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)");
    int y = 0, m = 0, d = 0;
    QRegularExpressionMatch match = iso.match(text);
    if (match.hasMatch()) {
        y = match.captured(1).toInt();
        m = match.captured(2).toInt();
        d = match.captured(3).toInt();
    } else {
        match = us.match(text);
        if (!match.hasMatch())
            return {};
        m = match.captured(1).toInt();
        d = match.captured(2).toInt();
        y = match.captured(3).toInt();
    }
    const QDate date(y, m, d);
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(),
                     match.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

// Pieces of a statement; only literals, words and operators matter to the translation.
enum class Piece { Space, Word, Literal, DateLiteral, Operator, Other };
struct Token {
    Piece kind;
    QString text;
};

// Splits a statement, keeping every character. A text literal runs to the first quote that is
// not doubled; an unterminated one runs to the end (the engine then refuses the statement).
// False when a # date literal is unterminated.
bool Tokenize(const QString& s, std::vector<Token>& out)
{
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s[i];
        qsizetype j = i + 1;
        Piece kind = Piece::Other;
        if (c.isSpace()) {
            while (j < n && s[j].isSpace())
                ++j;
            kind = Piece::Space;
        } else if (c == '\'') {
            while (j < n) {
                if (s[j] == '\'') {
                    if (j + 1 < n && s[j + 1] == '\'') {
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                ++j;
            }
            kind = Piece::Literal;
        } else if (c == '#') {
            while (j < n && s[j] != '#')
                ++j;
            if (j >= n)
                return false;
            ++j;
            kind = Piece::DateLiteral;
        } else if (c.isLetterOrNumber() || c == '_') {
            while (j < n && (s[j].isLetterOrNumber() || s[j] == '_'))
                ++j;
            kind = Piece::Word;
        } else if (c == '<' || c == '>' || c == '=' || c == '!') {
            while (j < n && (s[j] == '<' || s[j] == '>' || s[j] == '=' || s[j] == '!'))
                ++j;
            kind = Piece::Operator;
        }
        out.push_back({kind, s.mid(i, j - i)});
        i = j;
    }
    return true;
}

QString LiteralValue(const QString& literal)
{
    QString inner = literal.mid(1, literal.size() - 2);
    return inner.replace("''", "'");
}

// The text literal at tokens[k] rewritten to the stored date form; false when it is no date.
bool NormaliseDateLiteral(Token& token)
{
    const QDateTime date = ParseJetDate(LiteralValue(token.text));
    if (!date.isValid())
        return false;
    token.text = "'" + date.toString(kStoredDateFormat) + "'";
    return true;
}

qsizetype NextSolid(const std::vector<Token>& tokens, qsizetype k)
{
    while (k < qsizetype(tokens.size()) && tokens[k].kind == Piece::Space)
        ++k;
    return k;
}

bool WordIs(const std::vector<Token>& tokens, qsizetype k, const char* word)
{
    return k < qsizetype(tokens.size()) && tokens[k].kind == Piece::Word &&
           tokens[k].text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool TextIs(const std::vector<Token>& tokens, qsizetype k, const char* text)
{
    return k < qsizetype(tokens.size()) && tokens[k].text == QLatin1String(text);
}

// Insert into T (c1, c2, ...) Values (v1, v2, ...): the literal values of date columns.
bool NormaliseInsertDates(std::vector<Token>& tokens, const QStringList& dateColumns)
{
    qsizetype k = NextSolid(tokens, 0);
    if (!WordIs(tokens, k, "insert"))
        return true;
    k = NextSolid(tokens, k + 1);
    if (!WordIs(tokens, k, "into"))
        return true;
    k = NextSolid(tokens, NextSolid(tokens, k + 1) + 1);
    if (!TextIs(tokens, k, "("))
        return true;
    QStringList columns;
    for (k = NextSolid(tokens, k + 1); k < qsizetype(tokens.size()) && !TextIs(tokens, k, ")");
         k = NextSolid(tokens, k + 1)) {
        if (tokens[k].kind == Piece::Word)
            columns << tokens[k].text.toLower();
    }
    k = NextSolid(tokens, k + 1);
    if (!WordIs(tokens, k, "values"))
        return true;
    k = NextSolid(tokens, k + 1);
    if (!TextIs(tokens, k, "("))
        return true;
    // Values are separated by commas at the top level; a value that is one literal of a date
    // column is a date written as text.
    int depth = 0;
    int index = 0;
    qsizetype first = -1;
    int pieces = 0;
    for (++k; k < qsizetype(tokens.size()); ++k) {
        const Token& t = tokens[k];
        if (t.kind == Piece::Space)
            continue;
        const bool closes = depth == 0 && t.text == ")";
        if ((depth == 0 && t.text == ",") || closes) {
            if (pieces == 1 && tokens[first].kind == Piece::Literal && index < columns.size() &&
                dateColumns.contains(columns[index]) && !NormaliseDateLiteral(tokens[first]))
                return false;
            ++index;
            pieces = 0;
            if (closes)
                break;
            continue;
        }
        if (t.text == "(")
            ++depth;
        else if (t.text == ")")
            --depth;
        if (pieces++ == 0)
            first = k;
    }
    return true;
}

// DateColumn <op> 'text': the text compared with or assigned to a date column.
bool NormaliseComparedDates(std::vector<Token>& tokens, const QStringList& dateColumns)
{
    for (qsizetype k = 0; k < qsizetype(tokens.size()); ++k) {
        if (tokens[k].kind != Piece::Word || !dateColumns.contains(tokens[k].text.toLower()))
            continue;
        const qsizetype op = NextSolid(tokens, k + 1);
        if (op >= qsizetype(tokens.size()) || tokens[op].kind != Piece::Operator)
            continue;
        const qsizetype value = NextSolid(tokens, op + 1);
        if (value < qsizetype(tokens.size()) && tokens[value].kind == Piece::Literal &&
            !NormaliseDateLiteral(tokens[value]))
            return false;
    }
    return true;
}

}  // namespace

QString VariantToText(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? "TRUE" : "FALSE";
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        // Wider values keep their low 32 bits, as "%d" of a 32-bit value shows them.
        return QString::number(static_cast<int32_t>(static_cast<uint32_t>(value.toULongLong())));
    case QMetaType::Float:
        return QString::asprintf("%.4f", double(value.toFloat()));
    case QMetaType::Double:
        return QString::asprintf("%.8f", value.toDouble());
    case QMetaType::QDateTime:
        return value.toDateTime().toString(kStoredDateFormat);
    case QMetaType::QDate:
        return value.toDate().startOfDay().toString(kStoredDateFormat);
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QByteArray:
        return "[BLOB]";
    default:
        return "UN_KNOW";
    }
}

int32_t VariantToLong(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return 0;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? -1 : 0;
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return Saturate(value.toLongLong());
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong v = value.toULongLong();
        return v > qulonglong(std::numeric_limits<int32_t>::max())
                   ? std::numeric_limits<int32_t>::max()
                   : static_cast<int32_t>(v);
    }
    case QMetaType::Float:
    case QMetaType::Double: {
        // Rounds half up by adding 0.5 and truncating toward zero (so -1.7 gives -1).
        const double v = std::trunc(value.toDouble() + 0.5);
        if (std::isnan(v))
            return 0;
        if (v >= double(std::numeric_limits<int32_t>::max()))
            return std::numeric_limits<int32_t>::max();
        if (v <= double(std::numeric_limits<int32_t>::min()))
            return std::numeric_limits<int32_t>::min();
        return static_cast<int32_t>(v);
    }
    case QMetaType::QString: {
        const QString text = value.toString();
        qsizetype i = 0;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            negative = text[i++] == '-';
        long long n = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            n = n * 10 + (text[i].unicode() - '0');
            if (n > (1LL << 40))  // far beyond 32 bits; the rest cannot bring it back
                break;
        }
        return Saturate(negative ? -n : n);
    }
    default:
        return 0;
    }
}

QDateTime VariantToDate(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime();
    case QMetaType::QDate:
        return value.toDate().startOfDay();
    case QMetaType::QString: {
        const QString text = value.toString();
        if (text.size() != 19)
            return {};
        return QDateTime::fromString(text, kStoredDateFormat);
    }
    default:
        return {};
    }
}

namespace {

QString TranslateJet(const QString& statement, const QStringList& dateColumns, bool postgres)
{
    std::vector<Token> tokens;
    if (!Tokenize(statement, tokens))
        return {};
    for (Token& t : tokens) {
        if (t.kind != Piece::DateLiteral)
            continue;
        const QDateTime date = ParseJetDate(t.text.mid(1, t.text.size() - 2));
        if (!date.isValid())
            return {};
        t.text = "'" + date.toString(kStoredDateFormat) + "'";
        t.kind = Piece::Literal;
    }
    if (!NormaliseInsertDates(tokens, dateColumns) || !NormaliseComparedDates(tokens, dateColumns))
        return {};
    // One statement at a time: nothing may follow a semicolon outside the literals.
    const auto semicolon = std::find_if(tokens.begin(), tokens.end(),
                                        [](const Token& t) { return t.text == ";"; });
    if (semicolon != tokens.end() && NextSolid(tokens, semicolon - tokens.begin() + 1) < qsizetype(tokens.size()))
        return {};
    if (postgres) {
        for (qsizetype k = 0; k < qsizetype(tokens.size()); ++k) {
            if (!WordIs(tokens, k, "like"))
                continue;
            tokens[k].text = "ILIKE";
            const qsizetype pattern = NextSolid(tokens, k + 1);
            if (pattern < qsizetype(tokens.size()) &&
                (tokens[pattern].kind == Piece::Literal || tokens[pattern].text == "?"))
                tokens[pattern].text += " ESCAPE ''";
        }
    }
    QString out;
    out.reserve(statement.size() + 8);
    for (const Token& t : tokens)
        out += t.text;
    return out;
}

// Failures another station's work causes that are over at once: a serialization failure or
// deadlock, a key another transaction took first.
bool IsConflict(const QSqlError& error, bool postgres)
{
    // A lock not granted within the time limit (PostgreSQL 55P03, SQLite busy) is no such
    // failure: trying again would hold the window for the limit once more.
    static const QStringList postgresCodes{"40001", "40P01", "23505"};
    static const QStringList sqliteCodes{"6"};  // a table locked within the same cache
    return (postgres ? postgresCodes : sqliteCodes).contains(error.nativeErrorCode());
}

}  // namespace

QString JetToSqlite(const QString& statement, const QStringList& dateColumns)
{
    return TranslateJet(statement, dateColumns, false);
}

QString JetToPostgres(const QString& statement, const QStringList& dateColumns)
{
    return TranslateJet(statement, dateColumns, true);
}

AdoConnection::AdoConnection(const QString& name) : name_(name)
{
    static std::atomic<int> counter{0};
    if (name_.isEmpty())
        name_ = QString("corvida-%1").arg(++counter);
}

AdoConnection::~AdoConnection()
{
    Close();
}

bool AdoConnection::SetConnectTimeOut(int seconds)
{
    if (seconds < 0)
        return false;
    timeoutSeconds_ = seconds;
    return true;
}

bool AdoConnection::OpenAccess(const QString& path, int options)
{
    return Open("Data Source=" + path, options);
}

bool AdoConnection::Open(const QString& connection, int)
{
    if (!connection.isEmpty())
        connection_ = connection;
    if (connection_.isEmpty())
        return false;
    Close();
    if (!Connect())
        return false;
    open_ = true;
    LoadDateColumns();
    return true;
}

bool AdoConnection::Connect()
{
    QMap<QString, QString> keys;
    for (const QString& part : connection_.split(';')) {
        const qsizetype eq = part.indexOf('=');
        if (eq > 0)
            keys[part.left(eq).trimmed().toLower()] = part.mid(eq + 1).trimmed();
    }
    postgres_ = keys.value("provider").compare("PostgreSQL", Qt::CaseInsensitive) == 0;
    const QString path = keys.value("data source");
    if (!postgres_ && (path.isEmpty() || !QFileInfo(path).isFile())) {
        Fail("Open", "The file does not exist.");
        return false;
    }
    const char* driver = postgres_ ? "QPSQL" : "QSQLITE";
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        Fail("Open", QString("The Qt database driver %1 is not installed.").arg(driver));
        return false;
    }
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, name_);
        QString probeStatement = "SELECT count(*) FROM sqlite_master";
        if (postgres_) {
            db.setHostName(keys.value("host"));
            db.setPort(keys.value("port", "5432").toInt());
            db.setDatabaseName(keys.value("database"));
            db.setUserName(keys.value("user"));
            // A server that vanished without closing the link (powered off, cable out) is given
            // up within seconds, not after the system's TCP timeout of many minutes. The server
            // ends a statement or a lock wait a little before the limit, so its own error
            // arrives before the link is cut (see Within). Backslashes in literals are plain
            // characters whatever the server's default: a backslash before a quote must never
            // end a text.
            const int limit = timeoutSeconds_;
            db.setConnectOptions(
                QString("connect_timeout=%1;tcp_user_timeout=%2;keepalives=1;keepalives_idle=%3;"
                        "keepalives_interval=1;keepalives_count=%3;options='-c "
                        "standard_conforming_strings=on -c statement_timeout=%4 -c lock_timeout=%4'")
                    .arg(limit > 0 ? std::max(limit, 2) : 0)
                    .arg(limit * 1000)
                    .arg(limit)
                    .arg(limit * 800));
            probeStatement = "SHOW standard_conforming_strings";
        } else {
            db.setDatabaseName(path);
            db.setConnectOptions(QString("QSQLITE_BUSY_TIMEOUT=%1").arg(timeoutSeconds_ * 1000));
        }
        // Reading the schema proves the file is a database and not just any file of that name.
        QSqlQuery probe(db);
        ok = db.open() && Within([&] { return probe.exec(probeStatement) && probe.next(); });
        if (ok && postgres_ && probe.value(0).toString() != "on") {
            Fail("Open", "The server does not take standard_conforming_strings = on.");
            ok = false;
        } else if (!ok) {
            Fail("Open", db.lastError().isValid() ? db.lastError().text() : probe.lastError().text());
        }
        probe = QSqlQuery();
        if (!ok)
            db.close();
    }
    if (!ok)
        QSqlDatabase::removeDatabase(name_);
    return ok;
}

bool AdoConnection::Within(const std::function<bool()>& call)
{
    stalled_ = false;
    const int socket = postgres_ && timeoutSeconds_ > 0 ? Socket() : -1;
    if (socket < 0)
        return call();
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread guard([&] {
        std::unique_lock lock(mutex);
        if (!finished.wait_for(lock, std::chrono::seconds(timeoutSeconds_), [&] { return done; })) {
            ::shutdown(socket, SHUT_RDWR);
            stalled_ = true;
        }
    });
    const bool ok = call();
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    finished.notify_one();
    guard.join();
    return ok && !stalled_;
}

int AdoConnection::Socket() const
{
    const QVariant handle = QSqlDatabase::database(name_, false).driver()->handle();
    // Qt names the type after the struct's tag.
    if (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0)
        return -1;
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    return connection ? PQsocket(connection) : -1;
}

void AdoConnection::DropLink()
{
    QSqlDatabase::database(name_, false).close();
    QSqlDatabase::removeDatabase(name_);
}

bool AdoConnection::Revive()
{
    if (!postgres_ || inTransaction_)
        return false;
    if (QSqlDatabase::contains(name_)) {
        bool answers = false;
        {
            QSqlQuery probe(QSqlDatabase::database(name_, false));
            answers = Within([&] { return probe.exec("SELECT 1"); });
        }
        if (answers)
            return false;  // the connection is fine: the statement itself failed
        DropLink();
        // A server that does not answer would hold a new connection as long again.
        if (stalled_)
            return false;
    }
    return Connect();
}

void AdoConnection::LoadDateColumns()
{
    dateColumns_.clear();
    if (postgres_) {
        const AdoHandle columns = Run(
            "SELECT column_name FROM information_schema.columns WHERE table_schema = "
            "current_schema() AND (data_type ~* 'date|time' OR domain_name ~* 'date|time')", {});
        for (const auto& row : columns ? columns->rows : decltype(columns->rows)())
            dateColumns_ << row.at(0).toString().toLower();
        return;
    }
    QSqlDatabase db = QSqlDatabase::database(name_, false);
    QSqlQuery tables(db);
    if (!tables.exec("SELECT name FROM sqlite_master WHERE type = 'table'"))
        return;
    QStringList names;
    while (tables.next())
        names << tables.value(0).toString();
    for (const QString& table : names) {
        QSqlQuery columns(db);
        if (!columns.exec(QString("PRAGMA table_info(\"%1\")").arg(QString(table).replace('"', "\"\""))))
            continue;
        while (columns.next()) {
            const QString type = columns.value(2).toString().toUpper();
            if (type.contains("DATE") || type.contains("TIME"))
                dateColumns_ << columns.value(1).toString().toLower();
        }
    }
}

std::optional<QStringList> AdoConnection::TableColumns(const QString& table)
{
    QStringList names;
    const AdoHandle columns =
        postgres_ ? Run("SELECT column_name FROM information_schema.columns WHERE table_schema = "
                        "current_schema() AND lower(table_name) = lower(?) ORDER BY ordinal_position",
                        {table})
                  : Run(QString("PRAGMA table_info(\"%1\")").arg(QString(table).replace('"', "\"\"")), {});
    if (!columns)
        return std::nullopt;
    for (const auto& row : columns->rows)
        names << row.at(postgres_ ? 0 : 1).toString();
    return names;
}

bool AdoConnection::BeginLocked(const QString& table)
{
    conflict_ = false;
    if (!open_ || inTransaction_)
        return false;
    if (!Run(postgres_ ? "BEGIN" : "BEGIN IMMEDIATE", {}))
        return false;
    inTransaction_ = true;
    if (postgres_ && !Run("LOCK TABLE " + table + " IN EXCLUSIVE MODE", {})) {
        const bool conflict = conflict_;
        Rollback();
        conflict_ = conflict;
        return false;
    }
    return true;
}

bool AdoConnection::Commit()
{
    const bool done = inTransaction_ && Run("COMMIT", {});
    inTransaction_ = false;
    return done;
}

void AdoConnection::Rollback()
{
    if (inTransaction_)
        Run("ROLLBACK", {});
    inTransaction_ = false;
}

bool AdoConnection::IsOpen() const
{
    return open_;
}

void AdoConnection::Close()
{
    // Only an open connection is registered; this also keeps the destructor of the process-wide
    // connection away from Qt's connection list, which may be gone by then.
    if (open_ && QSqlDatabase::contains(name_))
        DropLink();
    open_ = false;
    inTransaction_ = false;
}

void AdoConnection::Fail(const char* operation, const QString& error)
{
    lastError_ = error;
    qCDebug(lcDatabase, "Warning: %s failed. Error: %s", operation, qPrintable(error));
}

AdoHandle AdoConnection::Execute(const QString& statement, int options)
{
    if (options != kAdCmdText && options != -1) {
        Fail("Execute", "Only command text is supported.");
        return {};
    }
    return Query(statement);
}

AdoHandle AdoConnection::Query(const QString& statement, const std::vector<QVariant>& values)
{
    if (trace_)
        trace_(statement);
    if (!open_) {
        Fail("Execute", "The connection is not open.");
        return {};
    }
    const QString sql = postgres_ ? JetToPostgres(statement, dateColumns_)
                                  : JetToSqlite(statement, dateColumns_);
    if (sql.isEmpty()) {
        Fail("Execute", "Invalid statement or date literal: " + statement);
        return {};
    }
    return Run(sql, values);
}

AdoHandle AdoConnection::Run(const QString& statement, const std::vector<QVariant>& values)
{
    conflict_ = false;
    if (!open_) {
        Fail("Execute", "The connection is not open.");
        return {};
    }
    // A server that restarted or a broken link costs one new connection, outside a transaction.
    for (int attempt = 0;; ++attempt) {
        // The last new connection could not be made (the server was away): try once more.
        if (!QSqlDatabase::contains(name_) && !Revive())
            return {};
        QSqlQuery query(QSqlDatabase::database(name_, false));
        query.setForwardOnly(true);
        auto result = std::make_shared<AdoResult>();
        const bool ok = Within([&] {
            // Statements without values are sent as they are, as PostgreSQL prepares only some
            // kinds; the translation has made sure a statement of the program's is one statement.
            bool done = values.empty() || query.prepare(statement);
            for (const QVariant& v : values)
                query.addBindValue(v);
            done = done && (values.empty() ? query.exec(statement) : query.exec());
            if (done && query.isSelect()) {
                const QSqlRecord record = query.record();
                for (int i = 0; i < record.count(); ++i)
                    result->columns << record.fieldName(i);
                while (query.next()) {
                    std::vector<QVariant> row(record.count());
                    for (int i = 0; i < record.count(); ++i)
                        row[i] = query.isNull(i) ? QVariant() : query.value(i);
                    result->rows.push_back(std::move(row));
                }
                done = !query.lastError().isValid();
            } else if (done) {
                result->recordsAffected = query.numRowsAffected();
            }
            return done;
        });
        if (ok) {
            if (!result->columns.isEmpty())
                Describe(*result, statement);
            return result;
        }
        const QSqlError error = query.lastError();
        query = QSqlQuery();
        if (stalled_) {
            // Waiting for a new link now would hold the window as long again; the next
            // statement makes one.
            Fail("Execute", QString("The server did not answer within %1 s.").arg(timeoutSeconds_));
            DropLink();
            return {};
        }
        if (attempt == 0 && Revive())
            continue;
        Fail("Execute", error.text());
        conflict_ = IsConflict(error, postgres_);
        return {};
    }
}

void AdoConnection::Describe(AdoResult& result, const QString& statement)
{
    // Only a plain select from one table can be written back: the rows are found again by the
    // table's primary key, which must be among the columns.
    static const QRegularExpression plain(
        R"(^\s*select\s.+?\sfrom\s+([A-Za-z_][A-Za-z0-9_]*)\s*(?:where\b.*|order\b.*)?$)",
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = plain.match(statement);
    if (!match.hasMatch() || statement.contains(QRegularExpression(
                                 R"(\bjoin\b|\bunion\b|\bgroup\b)", QRegularExpression::CaseInsensitiveOption)))
        return;
    QString table = match.captured(1);
    std::vector<std::pair<int, QString>> keys;
    if (postgres_) {
        // Unquoted names are folded to lower case there: the catalogue gives the real one.
        const AdoHandle info = Run(
            "SELECT tc.table_name, kcu.column_name, kcu.ordinal_position "
            "FROM information_schema.table_constraints tc JOIN "
            "information_schema.key_column_usage kcu ON kcu.constraint_name = "
            "tc.constraint_name AND kcu.constraint_schema = tc.constraint_schema "
            "WHERE tc.constraint_type = 'PRIMARY KEY' AND tc.table_schema = "
            "current_schema() AND lower(tc.table_name) = lower(?)",
            {table});
        if (!info)
            return;
        for (const auto& row : info->rows) {
            table = row.at(0).toString();
            keys.emplace_back(row.at(2).toInt(), row.at(1).toString());
        }
    } else {
        const AdoHandle info = Run(QString("PRAGMA table_info(\"%1\")").arg(table), {});
        if (!info)
            return;
        for (const auto& row : info->rows) {
            if (row.at(5).toInt() > 0)
                keys.emplace_back(row.at(5).toInt(), row.at(1).toString());
        }
    }
    std::sort(keys.begin(), keys.end());
    QStringList keyColumns;
    for (const auto& [order, name] : keys) {
        if (!result.columns.contains(name, Qt::CaseInsensitive))
            return;
        keyColumns << name;
    }
    if (keyColumns.isEmpty())
        return;
    result.table = table;
    result.keyColumns = keyColumns;
}
