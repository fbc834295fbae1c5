#include "db/AdoRecordSet.h"

#include "db/AdoCommand.h"

bool AdoRecordSet::PutCursorLocation(int location)
{
    if (location != kAdUseServer && location != kAdUseClient)
        return false;
    cursorLocation_ = location;
    return true;
}

bool AdoRecordSet::Open(const QString& statement, int options, int, int lockType)
{
    if (options != kAdCmdText && options != -1)
        return false;
    lockType_ = lockType;
    return OpenWith(statement.isEmpty() ? statement_ : statement,
                    statement.isEmpty() ? values_ : std::vector<QVariant>());
}

bool AdoRecordSet::OpenWith(const QString& statement, const std::vector<QVariant>& values)
{
    if (connection_ == nullptr || statement.isEmpty())
        return false;
    Close();
    statement_ = statement;
    values_ = values;
    result_ = connection_->Query(statement_, values_);
    return result_ != nullptr;
}

AdoRecordSet& AdoRecordSet::operator=(AdoHandle result)
{
    Close();
    result_ = std::move(result);
    return *this;
}

void AdoRecordSet::Close()
{
    result_.reset();
    row_ = 0;
    original_.clear();
    edited_.clear();
}

// Pending edits belong to the row they were made on; leaving it without Update drops them.
bool AdoRecordSet::MoveFirst()
{
    if (!IsOpen())
        return false;
    if (!edited_.empty())
        result_->rows[row_] = original_;
    original_.clear();
    edited_.clear();
    row_ = 0;
    return true;
}

bool AdoRecordSet::MoveNext()
{
    if (!IsOpen() || IsEOF())
        return false;
    if (!edited_.empty())
        result_->rows[row_] = original_;
    original_.clear();
    edited_.clear();
    ++row_;
    return true;
}

bool AdoRecordSet::IsEOF() const
{
    return !IsOpen() || row_ >= int(result_->rows.size());
}

int AdoRecordSet::GetRecordCount() const
{
    return IsOpen() ? int(result_->rows.size()) : 0;
}

bool AdoRecordSet::SetAbsolutePosition(int row)
{
    if (!IsOpen() || row < 1 || row > int(result_->rows.size()))
        return false;
    if (!edited_.empty())
        result_->rows[row_] = original_;
    original_.clear();
    edited_.clear();
    row_ = row - 1;
    return true;
}

int AdoRecordSet::GetFieldCount() const
{
    return IsOpen() ? int(result_->columns.size()) : 0;
}

int AdoRecordSet::ColumnIndex(const QString& name) const
{
    if (!IsOpen())
        return -1;
    for (int i = 0; i < result_->columns.size(); ++i) {
        if (result_->columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const QVariant* AdoRecordSet::Field(int column) const
{
    if (IsEOF() || column < 0 || column >= GetFieldCount())
        return nullptr;
    return &result_->rows[row_][column];
}

bool AdoRecordSet::GetCollect(int column, QString& out) const
{
    if (column < 0 || column >= GetFieldCount())
        return false;
    const QVariant* value = Field(column);
    if (value == nullptr)
        return false;
    out = VariantToText(*value);
    return true;
}

bool AdoRecordSet::GetCollect(const QString& column, QString& out) const
{
    const QVariant* value = Field(ColumnIndex(column));
    if (value == nullptr)
        return false;
    out = VariantToText(*value);
    return true;
}

bool AdoRecordSet::GetCollect(int column, int32_t& out) const
{
    const QVariant* value = Field(column);
    if (value == nullptr)
        return false;
    out = VariantToLong(*value);
    return true;
}

bool AdoRecordSet::GetCollect(const QString& column, int32_t& out) const
{
    return GetCollect(ColumnIndex(column), out);
}

bool AdoRecordSet::GetCollect(int column, QDateTime& out) const
{
    const QVariant* value = Field(column);
    if (value == nullptr)
        return false;
    out = VariantToDate(*value);
    return true;
}

bool AdoRecordSet::Put(const QString& column, const QVariant& value)
{
    const int index = ColumnIndex(column);
    if (index < 0 || IsEOF())
        return false;
    if (edited_.empty()) {
        original_ = result_->rows[row_];
        edited_.assign(result_->columns.size(), false);
    }
    result_->rows[row_][index] = value;
    edited_[index] = true;
    return true;
}

bool AdoRecordSet::PutCollect(const QString& column, int32_t value)
{
    return Put(column, QVariant(qlonglong(value)));
}

bool AdoRecordSet::PutCollect(const QString& column, const QString& value)
{
    return Put(column, value.isEmpty() ? QVariant() : QVariant(value));
}

bool AdoRecordSet::Update()
{
    if (IsEOF())
        return false;
    if (edited_.empty())
        return true;
    const AdoResult& result = *result_;
    bool written = false;
    if (connection_ != nullptr && lockType_ != kAdLockReadOnly && !result.table.isEmpty()) {
        auto quoted = [](QString name) { return '"' + name.replace('"', "\"\"") + '"'; };
        QStringList sets;
        AdoCommand command(connection_);
        for (int i = 0; i < result.columns.size(); ++i) {
            if (edited_[i]) {
                sets << quoted(result.columns[i]) + " = ?";
                command.AddParameter(result.rows[row_][i]);
            }
        }
        QStringList where;
        for (const QString& key : result.keyColumns) {
            where << quoted(key) + " = ?";
            command.AddParameter(original_[ColumnIndex(key)]);
        }
        command.SetCommandText(QString("UPDATE %1 SET %2 WHERE %3")
                                   .arg(quoted(result.table), sets.join(", "), where.join(" AND ")));
        const AdoHandle done = command.Execute();
        // A row that another command changed or removed is not found by its key: nothing written.
        written = done != nullptr && done->recordsAffected == 1;
    }
    if (!written)
        result_->rows[row_] = original_;
    original_.clear();
    edited_.clear();
    return written;
}

bool AdoRecordSet::Requery(int)
{
    return OpenWith(statement_, values_);
}
