#include "tests/support/PgCluster.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

QString Quote(const QString& text)
{
    return "'" + QString(text).replace("'", "'\\''") + "'";
}

// The newest installed server's programs (never a wrapper on the PATH).
QString BinDir()
{
    int best = -1;
    std::error_code ec;
    for (const auto& v : std::filesystem::directory_iterator("/usr/lib/postgresql", ec))
        if (std::filesystem::exists(v.path() / "bin/pg_ctl"))
            best = std::max(best, std::atoi(v.path().filename().c_str()));
    return QString("/usr/lib/postgresql/%1/bin").arg(best);
}

}  // namespace

bool PgCluster::Wanted()
{
    const char* driver = std::getenv("CORVIDA_TEST_DATABASE");
    return driver && std::string(driver) == "PostgreSQL";
}

PgCluster& PgCluster::Instance()
{
    static PgCluster cluster;
    return cluster;
}

PgCluster::PgCluster() : bin_(BinDir())
{
    if (const char* parent = std::getenv("CORVIDA_TEST_PG_SOCKET")) {
        dir_ = parent;
        return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "corvida-pg-XXXXXX").string();
    if (!mkdtemp(pattern.data()) || (geteuid() == 0 && chown(pattern.c_str(), 65534, 65534) != 0))
        return;
    dir_ = QString::fromStdString(pattern);
    // The watcher stops the server and removes the folder once this process is gone, however.
    const QString stop = AsServer("pg_ctl -D " + Quote(dir_ + "/data") + " -m fast -w stop");
    Run("setsid sh -c " + Quote(QString("while kill -0 %1; do sleep 1; done; ").arg(getpid()) + stop +
                                "; rm -rf " + Quote(dir_)) + " >/dev/null 2>&1 &");
    if (!Run(AsServer("initdb --no-sync -A trust -U corvida -D " + Quote(dir_ + "/data")) + " >" +
             Quote(dir_ + "/initdb.log") + " 2>&1"))
        return;
    if (Start())
        Psql("-d postgres -c 'Create Database corvida_test'");
}

QString PgCluster::AsServer(const QString& command) const
{
    const QString run = bin_ + "/" + command;
    return geteuid() == 0 ? "setpriv --reuid=nobody --regid=nogroup --clear-groups -- " + run : run;
}

bool PgCluster::Run(const QString& command) const
{
    return std::system(("cd / && " + command).toLocal8Bit().constData()) == 0;
}

bool PgCluster::Start()
{
    // fsync off: a test server's data need not outlive a power cut.
    const QString options = "-k " + dir_ + " -c listen_addresses='' -c fsync=off -c full_page_writes=off "
                            "-c standard_conforming_strings=off";
    return Run(AsServer("pg_ctl -D " + Quote(dir_ + "/data") + " -l " + Quote(dir_ + "/server.log") +
                        " -w -o " + Quote(options) + " start") + " >/dev/null");
}

bool PgCluster::Stop()
{
    return Run(AsServer("pg_ctl -D " + Quote(dir_ + "/data") + " -m fast -w stop") + " >/dev/null");
}

QString PgCluster::Signal(const char* signal) const
{
    return "p=$(head -1 " + Quote(dir_ + "/data/postmaster.pid") + ") && kill -" + signal + " $p $(pgrep -P $p)";
}

bool PgCluster::Pause(int seconds)
{
    return Run(Signal("STOP")) &&
           Run("(sleep " + QString::number(seconds) + "; " + Signal("CONT") + ") >/dev/null 2>&1 &");
}

bool PgCluster::Resume()
{
    const bool stopped = Run(Signal("0") + " && ps -o stat= -p $p | grep -q T");
    Run(Signal("CONT"));
    return stopped;
}

bool PgCluster::Fresh()
{
    return Psql("-c 'Drop Schema public Cascade' -c 'Create Schema public' -f " +
                Quote(CORVIDA_SOURCE_DIR "/db/PatientPostgres.sql"));
}

bool PgCluster::Sql(const QString& statements, QString* out)
{
    return Psql("-c " + Quote(statements), out);
}

QString PgCluster::PsqlCommand() const
{
    return "PGOPTIONS='-c client_min_messages=warning' " + bin_ + "/psql -X -q -A -t -v ON_ERROR_STOP=1 -h " +
           Quote(dir_) + " -p 5432 -U corvida -d corvida_test";
}

bool PgCluster::Psql(const QString& arguments, QString* out)
{
    // The last -d wins, so arguments may name another database.
    const QString command = PsqlCommand() + " " + arguments;
    std::FILE* pipe = popen(command.toLocal8Bit().constData(), "r");
    if (!pipe)
        return false;
    QByteArray text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, static_cast<qsizetype>(n));
    if (out)
        *out = QString::fromUtf8(text).trimmed();
    return pclose(pipe) == 0;
}

QString RefuseStatement(const QString& name, const QString& action, const QString& when,
                        const QString& table)
{
    if (!PgCluster::Wanted())
        return QString("Create Trigger %1 Before %2 On %4 When %3 Begin Select Raise(Abort, 'refused'); End")
            .arg(name, action, when, table);
    return QString("Create Or Replace Function refuse() Returns trigger Language plpgsql As "
                   "$$Begin Raise Exception 'refused'; End$$; "
                   "Create Trigger %1 Before %2 On %4 For Each Row When (%3) Execute Function refuse()")
        .arg(name, action, when, table);
}

QString AllowStatement(const QString& name, const QString& table)
{
    return PgCluster::Wanted() ? "Drop Trigger " + name + " On " + table : "Drop Trigger " + name;
}
