#pragma once
// A throwaway PostgreSQL server for the tests of one process: initdb into a temporary folder on
// first use, listening only on a Unix socket in that folder (so parallel test runs never meet),
// stopped and removed when the process ends. A watcher process does the stopping, so a crashed
// test leaves no server behind. Run as root, the server runs as nobody (it refuses root).
#include <QString>

class PgCluster {
public:
    // True when CORVIDA_TEST_DATABASE=PostgreSQL: the database tests run on this server.
    static bool Wanted();
    // The process's server, started on first call; in a worker process started by a test, the
    // parent's (CORVIDA_TEST_PG_SOCKET names its socket folder).
    static PgCluster& Instance();

    QString SocketDir() const { return dir_; }
    int Port() const { return 5432; }
    QString User() const { return "corvida"; }
    QString Database() const { return "corvida_test"; }
    // Nothing in the database but an empty Patient table made by db/PatientPostgres.sql.
    bool Fresh();
    // Runs statements with psql, outside the program's layer; rows go to out, '|' between values.
    bool Sql(const QString& statements, QString* out = nullptr);
    // The shell command of psql on the test database, to which statements may be piped.
    QString PsqlCommand() const;
    // Takes the server away and brings it back, the data kept. It runs with
    // standard_conforming_strings off: a backslash in a literal escapes unless a client turns it on.
    bool Stop();
    bool Start();
    // Stops the server's processes as a hung host (SIGSTOP): links stay open, nothing answers.
    // They go on after `seconds`, or at Resume, which says whether they were still stopped.
    bool Pause(int seconds);
    bool Resume();

    // Opens this server's database as db's connection (AppDatabase::OpenServer).
    template <class Db>
    bool Open(Db& db) const
    {
        return db.OpenServer(SocketDir(), Port(), Database(), User());
    }

private:
    PgCluster();
    bool Psql(const QString& arguments, QString* out = nullptr);
    // A shell command running a server program, as nobody when this is root.
    QString AsServer(const QString& command) const;
    bool Run(const QString& command) const;
    QString Signal(const char* signal) const;

    QString dir_;
    QString bin_;
};

// A statement for the current driver that makes the engine refuse `action` ("Insert" or
// "Update") on the rows of `table` where `when` holds (Old./New. name the row), as a locked or
// damaged database would; name is the trigger's.
QString RefuseStatement(const QString& name, const QString& action, const QString& when = "1 = 1",
                        const QString& table = "Patient");
// Its undoing.
QString AllowStatement(const QString& name, const QString& table = "Patient");
