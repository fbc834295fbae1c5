#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>

// Runs a program to its end; the exit status, or -1 when it could not run.
inline int RunProgram(const QString& program, const QStringList& args, QString* out = nullptr,
                      QString* err = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    if (out)
        *out = QString::fromUtf8(p.readAllStandardOutput());
    if (err)
        *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitCode();
}
