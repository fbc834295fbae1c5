#pragma once
// Which patient database a station uses, from the [Database] section of Settings.ini:
//
//   [Database]
//   Driver=PostgreSQL        SQLite (the default: Corvida.mdb in the working directory)
//   Host=records.clinic      PostgreSQL only: host name or Unix socket folder (libpq's default
//   Port=5432                when empty), port, database and user; the password is never kept
//   Database=corvida         here but in libpq's own password file (~/.pgpass) or service file
//   User=corvida
//   Data=/mnt/ecg/Data       the folder of the patients' record folders (default: Data)
#include <QString>
#include <string>

struct DatabaseSettings {
    bool postgres = false;
    QString host;
    int port = 5432;
    QString database = "corvida";
    QString user;
    QString dataRoot;  // empty: "Data" in the working directory
    QString problem;  // an unusable setting, in English; empty when every setting is usable
};

DatabaseSettings ReadDatabaseSettings(const std::string& settingsFile);
// The database for messages: the full path of Corvida.mdb or "postgresql://user@host:port/name".
QString DatabaseLocation(const DatabaseSettings& settings);
// Opens AppDatabase as the settings say and sets the data root. False with the reason in error.
bool OpenPatientDatabase(const DatabaseSettings& settings, QString& error);
