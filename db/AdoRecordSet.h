#pragma once
// One query result with a current row. Opening fetches the whole result (a static snapshot, as a
// client-side cursor does); field writes change the current row in memory and Update commits them
// to the table the rows came from, by primary key.
#include <QDateTime>
#include <QString>
#include <vector>

#include "db/Ado.h"

class AdoRecordSet {
public:
    AdoRecordSet() = default;
    explicit AdoRecordSet(AdoConnection* connection) : connection_(connection) {}
    // A copy would share the rows and their pending edits; a recordset is moved or kept.
    AdoRecordSet(const AdoRecordSet&) = delete;
    AdoRecordSet& operator=(const AdoRecordSet&) = delete;
    AdoRecordSet(AdoRecordSet&&) = default;
    AdoRecordSet& operator=(AdoRecordSet&&) = default;

    void SetAdoConnection(AdoConnection* connection) { connection_ = connection; }
    // kAdUseClient or kAdUseServer; both give a snapshot here.
    bool PutCursorLocation(int location);
    // An empty statement reuses the last one with its values. False without a connection or on
    // any engine error.
    bool Open(const QString& statement, int options = kAdCmdText, int cursorType = kAdOpenStatic,
              int lockType = kAdLockOptimistic);
    // The same with the statement's "?" bound to values in order; Requery binds them again.
    bool OpenWith(const QString& statement, const std::vector<QVariant>& values);
    // Takes over the result of AdoConnection::Execute (an empty handle leaves it closed).
    AdoRecordSet& operator=(AdoHandle result);
    void Close();
    bool IsOpen() const { return result_ != nullptr && !result_->columns.isEmpty(); }

    bool MoveFirst();
    bool MoveNext();
    bool IsEOF() const;
    int GetRecordCount() const;
    // Rows count from 1.
    bool SetAbsolutePosition(int row);
    int GetFieldCount() const;

    // Reads of the current row; false past the last row, for an unknown column, or when the
    // recordset is not open (IsOpen tells that case: the database may have gone away).
    bool GetCollect(int column, QString& out) const;
    bool GetCollect(const QString& column, QString& out) const;
    bool GetCollect(int column, int32_t& out) const;
    bool GetCollect(const QString& column, int32_t& out) const;
    bool GetCollect(int column, QDateTime& out) const;

    // Writes to the current row; an empty text is written as NULL.
    bool PutCollect(const QString& column, int32_t value);
    bool PutCollect(const QString& column, const QString& value);
    // Commits the current row; on failure its pending edits are cancelled and false returned.
    bool Update();
    // Runs the open statement again; the current row becomes the first.
    bool Requery(int options = -1);

    QString Statement() const { return statement_; }

private:
    int ColumnIndex(const QString& name) const;
    const QVariant* Field(int column) const;
    bool Put(const QString& column, const QVariant& value);

    AdoConnection* connection_ = nullptr;
    AdoHandle result_;
    QString statement_;
    std::vector<QVariant> values_;
    int cursorLocation_ = kAdUseServer;
    int lockType_ = kAdLockOptimistic;
    int row_ = 0;
    std::vector<QVariant> original_;  // the current row before its pending edits
    std::vector<bool> edited_;
};
