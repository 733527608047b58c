// The interpreter runs on its own thread against a stand-in for the main
// window's executor on the test thread, connected as the window connects it.
#include "control/batch.h"
#include "tests/support/testutil.h"

#include <QtTest>

namespace {
// "name|arg|arg" of a command as the executor received it.
QString traceOf(const BatchCmd& cmd)
{
    return (QStringList{cmd.name} + cmd.args).join(QLatin1Char('|'));
}
} // namespace

class FakeBody : public QObject
{
    Q_OBJECT

public:
    QStringList trace;
    QString nextResults;          // answers of successive seq_exec_next: 't' or 'f'
    QString holdOn;               // a command that is answered only by release()
    int stopAfter = -1;           // switch the batch off after this many commands
    bool holding = false;
    int ended = 0;

    void release()
    {
        holding = false;
        emit callBatchCheckEnd();
    }

signals:
    void callBatchLoad(QString fname);
    void callBatchExec();
    void callBatchStop();
    void callBatchCheckEnd();
    void batchResult(bool ok);
    void runEnded();

public slots:
    void batchExCmd(BatchCmd cmd)
    {
        trace << traceOf(cmd);
        if (stopAfter >= 0 && trace.size() >= stopAfter)
            emit callBatchExec();
        if (cmd.is("seq_exec_next")) {
            const bool ok = !nextResults.isEmpty() && nextResults.at(0) == QLatin1Char('t');
            nextResults.remove(0, 1);
            emit batchResult(ok);
        }
        if (!holdOn.isEmpty() && cmd.is(holdOn.toLatin1().constData())) {
            holding = true;
            return;
        }
        emit callBatchCheckEnd();
    }

    void noticedRunEnded()
    {
        ++ended;
        emit runEnded();
    }
};

class TstBatch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void run_data();
    void run();
    void onlyComments();
    void echoAndCmdDiagnostics();
    void missingFileKeepsLines();
    void stopWhileWaiting_data();
    void stopWhileWaiting();
    void loadWhileRunning_data();
    void loadWhileRunning();
    void gotoLoopStoppedByExecutor();
    void controlWordLoopCanBeStopped();
    void longRunOfControlWords();
    void oneLineAtATime_data();
    void oneLineAtATime();

private:
    QString writeBatch(const QString& text);
    bool runToEnd(const QString& text, int timeoutMs = 10000);
    void syncWithBatch();
    template <typename F>
    auto onBatch(F f) -> decltype(f());

    QTemporaryDir* dir = nullptr;
    int fileNo = 0;
    QThread* thread = nullptr;
    Batch* batch = nullptr;
    FakeBody* body = nullptr;
};

void TstBatch::init()
{
    dir = new QTemporaryDir;
    QVERIFY(dir->isValid());
    thread = new QThread;
    batch = new Batch;
    batch->moveToThread(thread);
    body = new FakeBody;
    connect(body, &FakeBody::callBatchLoad, batch, &Batch::batchLoad);
    connect(body, &FakeBody::callBatchExec, batch, &Batch::batchExec);
    connect(body, &FakeBody::callBatchStop, batch, &Batch::batchStop);
    connect(body, &FakeBody::callBatchCheckEnd, batch, &Batch::batchCheckEnd);
    connect(body, &FakeBody::batchResult, batch, &Batch::setLastResultOk);
    connect(batch, &Batch::batchExCmd, body, &FakeBody::batchExCmd);
    connect(batch, &Batch::batchRunEnded, body, &FakeBody::noticedRunEnded);
    thread->start();
}

void TstBatch::cleanup()
{
    thread->quit();
    thread->wait();
    delete batch;
    delete thread;
    delete body;
    delete dir;
}

QString TstBatch::writeBatch(const QString& text)
{
    const QString name = dir->filePath(QStringLiteral("b%1.bat").arg(++fileNo));
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write(text.toUtf8());
    return name;
}

// Loads and starts a batch as the window does from the command line and
// waits for the end of the run.
bool TstBatch::runToEnd(const QString& text, int timeoutMs)
{
    QSignalSpy ended(body, &FakeBody::runEnded);
    emit body->callBatchLoad(writeBatch(text));
    emit body->callBatchExec();
    return ended.wait(timeoutMs);
}

template <typename F>
auto TstBatch::onBatch(F f) -> decltype(f())
{
    decltype(f()) result{};
    QMetaObject::invokeMethod(batch, [&] { result = f(); }, Qt::BlockingQueuedConnection);
    return result;
}

// Lets everything already queued on the batch thread run, including a step
// that one of those calls queues in turn, and delivers what it sent here.
void TstBatch::syncWithBatch()
{
    for (int i = 0; i < 3; ++i) {
        onBatch([] { return 0; });
        QCoreApplication::processEvents();
    }
}

void TstBatch::run_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("results"); // seq_exec_next answers
    QTest::addColumn<QStringList>("trace");

    QTest::newRow("commands in order, quoted args")
        << "a 1\nb \"x y\" z\nc" << "" << QStringList{"a|1", "b|x y|z", "c"};
    QTest::newRow("comments and blank-only lines")
        << "# head\n\na 1 # note\n   \nb" << "" << QStringList{"a|1", "", "b"};
    QTest::newRow(":end") << "a\n:end\nb" << "" << QStringList{"a"};
    QTest::newRow(":STOP") << "a\n:STOP\nb" << "" << QStringList{"a"};
    QTest::newRow(":echo goes on") << "a\n:echo x\n:ECHO y\nb" << "" << QStringList{"a", "b"};
    QTest::newRow(":goto forward, label line executed")
        << "a\n:goto :skip\nb\n:skip\nc" << "" << QStringList{"a", ":skip", "c"};
    QTest::newRow(":GOTO to the first of two labels")
        << ":GoTo :x\n:x 1\nb\n:x 2" << "" << QStringList{":x|1", "b", ":x|2"};
    QTest::newRow("label case matters") << "a\n:goto :loop\nb\n:Loop\nc" << ""
                                         << QStringList{"a", "b", ":Loop", "c"};
    QTest::newRow("missing label falls through") << "a\n:goto nowhere\nb" << "" << QStringList{"a", "b"};
    QTest::newRow(":goto without label falls through") << ":goto\nb" << "" << QStringList{"b"};
    QTest::newRow(":ifok holds at start") << ":ifok a 1\nb" << "" << QStringList{"a|1", "b"};
    QTest::newRow(":ifng passed on when not taken") << ":IFNG a 1\nb" << "" << QStringList{":IFNG|a|1", "b"};
    QTest::newRow(":ifok after a step") << "seq_exec_next\n:IfOk c\nd" << "t" << QStringList{"seq_exec_next", "c", "d"};
    QTest::newRow(":ifng :end after the last set")
        << "seq_exec_next\n:ifng :end\nb" << "f" << QStringList{"seq_exec_next"};
    QTest::newRow("untaken :ifok resets the result")
        << "seq_exec_next\n:ifok :goto :top\n:ifng :end\nafter" << "f"
        << QStringList{"seq_exec_next", ":ifok|:goto|:top", ":ifng|:end", "after"};
    QTest::newRow(":ifng re-join loses quoting")
        << "seq_exec_next\n:ifng name \"a b\"" << "f" << QStringList{"seq_exec_next", "name|a|b"};
    QTest::newRow("loop over data sets")
        << ":loop\ncalc_exec\nseq_exec_next\n:ifok :goto :loop\n:end\nnever" << "ttf"
        << QStringList{":loop", "calc_exec", "seq_exec_next", ":loop", "calc_exec", "seq_exec_next",
                       ":loop", "calc_exec", "seq_exec_next", ":ifok|:goto|:loop"};
    QTest::newRow("continuation joined")
        << "images_load /d \\\n  *.img\nb" << "" << QStringList{"images_load|/d|*.img", "b"};
    QTest::newRow("several continuations")
        << "a \\\nb \\  \nc\nd" << "" << QStringList{"a|b|c", "d"};
    QTest::newRow("continuation is cut without a blank") << "ab\\\ncd" << "" << QStringList{"abcd"};
    QTest::newRow("continuation mark before a comment") << "a \\ # more\nb" << "" << QStringList{"a|b"};
    QTest::newRow("continuation into a comment line") << "a \\\n# note\nb" << "" << QStringList{"a", "b"};
    QTest::newRow("continuation on the last line") << "a\nb \\" << "" << QStringList{"a", "b"};
    QTest::newRow("windows line ends") << "a 1\r\nb\r\n" << "" << QStringList{"a|1", "b"};
}

void TstBatch::run()
{
    QFETCH(QString, text);
    QFETCH(QString, results);
    QFETCH(QStringList, trace);
    body->nextResults = results;
    MessageCapture quiet;
    QVERIFY(runToEnd(text));
    syncWithBatch();
    QCOMPARE(body->trace, trace);
    QCOMPARE(body->ended, 1);
    QVERIFY(!onBatch([this] { return batch->isRunning(); }));
}

void TstBatch::onlyComments()
{
    QVERIFY(runToEnd(QStringLiteral("# only\n\n# comments\n#\n")));
    syncWithBatch();
    QVERIFY(onBatch([this] { return batch->loadedLines(); }).isEmpty());
    QVERIFY(body->trace.isEmpty());
    QCOMPARE(body->ended, 1);
}

void TstBatch::echoAndCmdDiagnostics()
{
    MessageCapture capture;
    QVERIFY(runToEnd(QStringLiteral("a 1\n:echo  Hello   world # not shown\n")));
    syncWithBatch();
    QCOMPARE(capture.lines(), (QStringList{"cmd a", "cmd :echo", ":echo  Hello   world "}));
}

// Also: a second run starts again at the first line.
void TstBatch::missingFileKeepsLines()
{
    MessageCapture capture;
    QVERIFY(runToEnd(QStringLiteral("a\nb")));
    const QString missing = dir->filePath(QStringLiteral("missing.bat"));
    capture.clear();
    QSignalSpy ended(body, &FakeBody::runEnded);
    emit body->callBatchLoad(missing);
    emit body->callBatchExec();
    QVERIFY(ended.wait());
    syncWithBatch();
    QCOMPARE(capture.count(QStringLiteral("Can't open")), 1);
    QVERIFY(capture.lines().contains(QStringLiteral("Can't open batch file ") + missing));
    QCOMPARE(body->trace, (QStringList{"a", "b", "a", "b"}));
}

// A run waiting for a long command (a reconstruction run) is switched off;
// the command's late end must not start the next line.
void TstBatch::stopWhileWaiting_data()
{
    QTest::addColumn<bool>("byToggle");
    QTest::newRow("batchExec toggles it off") << true;
    QTest::newRow("batchStop") << false;
}

void TstBatch::stopWhileWaiting()
{
    QFETCH(bool, byToggle);
    MessageCapture quiet;
    body->holdOn = QStringLiteral("calc_exec");
    emit body->callBatchLoad(writeBatch(QStringLiteral("a\ncalc_exec\nb\nc")));
    emit body->callBatchExec();
    QTRY_VERIFY(body->holding);
    QSignalSpy ended(body, &FakeBody::runEnded);
    if (byToggle)
        emit body->callBatchExec();
    else
        emit body->callBatchStop();
    QVERIFY(ended.wait());
    body->release();
    syncWithBatch();
    QCOMPARE(body->trace, (QStringList{"a", "calc_exec"}));
    QCOMPARE(body->ended, 1);
    QVERIFY(!onBatch([this] { return batch->isRunning(); }));
}

// A new batch loaded during a run goes on at the same line index.
void TstBatch::loadWhileRunning_data()
{
    QTest::addColumn<QString>("second");
    QTest::addColumn<QStringList>("trace");
    QTest::newRow("longer batch") << "b0\nb1\nb2\nb3" << QStringList{"a0", "calc_exec", "b2", "b3"};
    QTest::newRow("shorter batch ends the run") << "b0\nb1" << QStringList{"a0", "calc_exec"};
    QTest::newRow("new labels are found") << "b0\nb1\n:goto :x\nb3\n:x" << QStringList{"a0", "calc_exec", ":x"};
}

void TstBatch::loadWhileRunning()
{
    QFETCH(QString, second);
    QFETCH(QStringList, trace);
    MessageCapture quiet;
    body->holdOn = QStringLiteral("calc_exec");
    // The first batch has a label :x too, and has used it, so the second
    // one must not jump by the first one's line numbers.
    emit body->callBatchLoad(writeBatch(QStringLiteral(":goto :y\n:y\nx\n:x\nz")));
    emit body->callBatchExec();
    QTRY_COMPARE(body->ended, 1);
    body->trace.clear();
    QSignalSpy ended(body, &FakeBody::runEnded);
    emit body->callBatchLoad(writeBatch(QStringLiteral("a0\ncalc_exec\na2\na3\na4\n:x")));
    emit body->callBatchExec();
    QTRY_VERIFY(body->holding);
    emit body->callBatchLoad(writeBatch(second));
    body->release();
    QVERIFY(ended.wait());
    syncWithBatch();
    QCOMPARE(body->trace, trace);
}

// A batch that loops by mistake goes on until the user stops it; here the
// stand-in executor counts and switches the batch off like the user would.
void TstBatch::gotoLoopStoppedByExecutor()
{
    MessageCapture quiet;
    body->stopAfter = 1000;
    QVERIFY(runToEnd(QStringLiteral(":top\nstep\n:goto :top\nnever"), 60000));
    syncWithBatch();
    QCOMPARE(body->trace.size(), 1000);
    QCOMPARE(body->trace.count(QStringLiteral(":top")), 500);
    QCOMPARE(body->trace.count(QStringLiteral("step")), 500);
    QCOMPARE(body->ended, 1);
}

// Control words that jump among themselves never reach the executor; the
// run must still yield to a stop request.
void TstBatch::controlWordLoopCanBeStopped()
{
    MessageCapture quiet;
    QSignalSpy ended(body, &FakeBody::runEnded);
    emit body->callBatchLoad(writeBatch(QStringLiteral(":echo round\n:goto :echo\nnever")));
    emit body->callBatchExec();
    QTRY_VERIFY(quiet.count(QStringLiteral(":echo round")) > 1000);
    emit body->callBatchExec();
    QVERIFY(ended.wait());
    syncWithBatch();
    QVERIFY(body->trace.isEmpty());
    QCOMPARE(body->ended, 1);
}

void TstBatch::longRunOfControlWords()
{
    const int n = 100000;
    QString text;
    text.reserve(n * 12);
    for (int i = 0; i < n; ++i)
        text += QStringLiteral(":echo %1\n").arg(i);
    text += QStringLiteral("last\n");
    MessageCapture capture;
    QVERIFY(runToEnd(text, 120000));
    syncWithBatch();
    QCOMPARE(body->trace, QStringList{"last"});
    QCOMPARE(capture.count(QStringLiteral("cmd :echo")), n);
    QCOMPARE(capture.lines().value(2 * n - 1), QStringLiteral(":echo %1").arg(n - 1));
}

// Requests that arrive together (a restart, a doubled check-end) must not
// hand the executor a second line while one is outstanding.
void TstBatch::oneLineAtATime_data()
{
    QTest::addColumn<QString>("requests"); // x: batchExec, c: batchCheckEnd, s: batchStart
    QTest::addColumn<QStringList>("trace");
    QTest::newRow("start, stop, start") << "xxx" << QStringList{"a"};
    QTest::newRow("start twice") << "ss" << QStringList{"a"};
    QTest::newRow("doubled check-end") << "xcc" << QStringList{"a"};
}

void TstBatch::oneLineAtATime()
{
    QFETCH(QString, requests);
    QFETCH(QStringList, trace);
    MessageCapture quiet;
    Batch local; // on this thread, so the requests below are not interleaved with its steps
    QStringList seen;
    connect(&local, &Batch::batchExCmd, this, [&seen](const BatchCmd& cmd) { seen << traceOf(cmd); });
    local.batchLoad(writeBatch(QStringLiteral(":echo 1\n:echo 2\na\nb\nc")));
    for (const QChar r : requests) {
        if (r == QLatin1Char('x'))
            local.batchExec();
        else if (r == QLatin1Char('s'))
            local.batchStart();
        else
            local.batchCheckEnd();
    }
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    QCOMPARE(seen, trace);
    QVERIFY(local.isRunning());
    QCOMPARE(local.nextLineIndex(), 3);
}

QTEST_GUILESS_MAIN(TstBatch)
#include "tst_batch.moc"
