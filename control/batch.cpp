#include "control/batch.h"

#include "app/boundedread.h"
#include "app/linetokens.h"

#include <QDebug>
#include <QFile>
#include <QTextStream>

Batch::Batch(QObject* parent) : QObject(parent)
{
    registerBatchCmdType();
    // Queued on purpose: a long run of control words then unwinds through
    // the event loop instead of nesting one call per line on the stack, and
    // a stop request can slip in between two lines.
    connect(this, &Batch::batchExecNext, this, &Batch::batchNext, Qt::QueuedConnection);
    connect(this, &Batch::batchFinishALine, this, &Batch::batchCheckEnd);
}

void Batch::batchStart()
{
    running = true;
    nextLine = 0;
    continueRun();
}

void Batch::batchStop()
{
    endRun();
}

void Batch::batchNext()
{
    nextQueued = false;
    if (!running)
        return;
    if (nextLine >= lines.size()) {
        endRun();
        return;
    }
    BatchCmd cmd = BatchCmd::parse(lines.at(nextLine));
    ++nextLine;
    qDebug().noquote() << "cmd" << cmd.name;

    const bool ok = lastResultOk.load();
    if (cmd.is(":ifok") && ok)
        cmd = BatchCmd::parse(cmd.args.join(QLatin1Char(' ')));
    if (cmd.is(":ifng") && !ok)
        cmd = BatchCmd::parse(cmd.args.join(QLatin1Char(' ')));

    if (cmd.is(":goto")) {
        const int at = findLabel(cmd.textArg(0));
        if (at >= 0)
            nextLine = at;
        continueRun();
        return;
    }
    if (cmd.is(":end") || cmd.is(":stop")) {
        endRun();
        return;
    }
    if (cmd.is(":echo")) {
        qDebug().noquote() << cmd.line;
        continueRun();
        return;
    }
    // Only seq_exec_next answers false; everything else leaves it true,
    // including a conditional line whose condition did not hold.
    lastResultOk = true;
    emit batchExCmd(cmd);
}

void Batch::batchLoad(QString fname)
{
    QFile file(fname);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug().noquote() << "Can't open batch file" << fname;
        emit batchLoadFailed(fname);
        return;
    }
    QByteArray bytes;
    if (!readAtMost(file, kMaxCommandFileBytes, &bytes)) {
        qDebug().noquote() << "Batch file too large" << fname;
        emit batchLoadFailed(fname);
        return;
    }
    QTextStream in(&bytes);
    QStringList loaded;
    QString joined;
    bool continued = false;
    while (!in.atEnd()) {
        const QString part = removeComment(in.readLine());
        if (continued)
            joined.append(part);
        else
            joined = part;
        // A line ending in a backslash goes on in the next line.
        continued = cutContinuation(joined);
        if (!continued && !joined.isEmpty())
            loaded << joined;
    }
    if (continued && !joined.isEmpty())
        loaded << joined;
    file.close();

    lines = loaded;
    labelIndex.clear();
}

void Batch::batchExec()
{
    if (running)
        endRun();
    else
        batchStart();
}

void Batch::batchCheckEnd()
{
    continueRun();
}

void Batch::setLastResultOk(bool ok)
{
    lastResultOk = ok;
}

void Batch::continueRun()
{
    if (!running)
        return;
    if (lines.isEmpty()) {
        endRun();
        return;
    }
    // One queued step at a time keeps the event queue from growing and
    // never hands two lines to the executor at once.
    if (nextQueued)
        return;
    nextQueued = true;
    emit batchExecNext();
}

void Batch::endRun()
{
    if (!running)
        return;
    running = false;
    emit batchRunEnded();
}

int Batch::findLabel(const QString& label)
{
    if (labelIndex.isEmpty() && !lines.isEmpty()) {
        // Built on the first :goto after a load; a batch that loops back
        // thousands of times then never scans its lines again.
        labelIndex.reserve(lines.size());
        for (int i = 0; i < lines.size(); ++i) {
            const QString name = takeItem(lines.at(i), nullptr);
            if (!labelIndex.contains(name))
                labelIndex.insert(name, i);
        }
    }
    return labelIndex.value(label, -1);
}
