// Small helpers shared by the tests: capturing the debug channel and
// running the program as a real process.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Collects every message written to the Qt debug channel while it lives.
class MessageCapture
{
public:
    MessageCapture();
    ~MessageCapture();
    const QStringList& lines() const;
    int count(const QString& startsWith) const;
    void clear();
};

struct ProcessResult {
    bool finished = false;
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QString output; // stdout and stderr merged
};

// Runs a program in workDir and waits up to timeoutMs.
ProcessResult runProcess(const QString& program, const QStringList& args, const QString& workDir,
                         int timeoutMs = 60000);
