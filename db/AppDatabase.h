#pragma once
// The one process-wide database connection (SQLite file in the working directory).
#include <QString>

class AppDatabase {
public:
    static AppDatabase& Instance();
    void SetConnectTimeOut(int seconds) { timeoutSeconds_ = seconds; }
    // Opens an existing database file; false (with LastError) when it is missing or unreadable.
    bool Open(const QString& file);
    void Close();
    bool IsOpen() const { return open_; }
    QString LastError() const { return lastError_; }
    QString ConnectionName() const { return "corvida"; }

private:
    int timeoutSeconds_ = 5;
    bool open_ = false;
    QString lastError_;
};
