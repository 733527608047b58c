#include "tests/support/testutil.h"

#include <QMutex>
#include <QProcessEnvironment>
#include <QtGlobal>

namespace {
QMutex captureMutex;
QStringList captured;
QtMessageHandler previousHandler = nullptr;
int captureDepth = 0;

void captureHandler(QtMsgType type, const QMessageLogContext& ctx, const QString& msg)
{
    {
        QMutexLocker lock(&captureMutex);
        captured << msg;
    }
    if (previousHandler && type != QtDebugMsg)
        previousHandler(type, ctx, msg);
}
} // namespace

MessageCapture::MessageCapture()
{
    QMutexLocker lock(&captureMutex);
    if (captureDepth++ == 0) {
        captured.clear();
        previousHandler = qInstallMessageHandler(captureHandler);
    }
}

MessageCapture::~MessageCapture()
{
    QMutexLocker lock(&captureMutex);
    if (--captureDepth == 0)
        qInstallMessageHandler(previousHandler);
}

const QStringList& MessageCapture::lines() const
{
    return captured;
}

int MessageCapture::count(const QString& startsWith) const
{
    QMutexLocker lock(&captureMutex);
    int n = 0;
    for (const QString& l : captured)
        n += l.startsWith(startsWith) ? 1 : 0;
    return n;
}

void MessageCapture::clear()
{
    QMutexLocker lock(&captureMutex);
    captured.clear();
}

ProcessResult runProcess(const QString& program, const QStringList& args, const QString& workDir, int timeoutMs)
{
    ProcessResult r;
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished();
    }
    r.exitCode = p.exitCode();
    r.exitStatus = p.exitStatus();
    r.output = QString::fromLocal8Bit(p.readAll());
    return r;
}
