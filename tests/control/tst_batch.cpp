// The interpreter on its own thread; the test object is the window's
// command executor, every crossing queued both ways as in the window.
#include "control/batch.h"
#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"

#include <QtTest>

static QString traceOf(const BatchCmd& cmd)
{
    return (QStringList{cmd.name} + cmd.args).join(QLatin1Char('|'));
}

class TstBatch : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        seen.clear();
        answers.clear();
        holdOn.clear();
        stopAfter = -1;
        holding = false;
        ended = 0;
        batch = new Batch;
        batch->moveToThread(&thread);
        connect(batch, &Batch::batchExCmd, this, &TstBatch::execute);
        connect(batch, &Batch::batchRunEnded, this, [this] { ++ended; });
        thread.start();
    }

    void cleanup()
    {
        thread.quit();
        thread.wait();
        delete batch;
        QCoreApplication::removePostedEvents(this); // late calls of this batch
    }

    void run_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("results"); // seq_exec_next answers
        QTest::addColumn<QStringList>("trace");
        QTest::newRow("commands in order, quoted args")
            << "a 1\nb \"x y\" z\nc" << "" << QStringList{"a|1", "b|x y|z", "c"};
        QTest::newRow("comments and blank-only lines")
            << "# head\n\na 1 # note\n   \nb" << "" << QStringList{"a|1", "", "b"};
        QTest::newRow(":STOP") << "a\n:STOP\nb" << "" << QStringList{"a"};
        QTest::newRow("longer name is no control word") << ":endx\nb" << "" << QStringList{":endx", "b"};
        QTest::newRow(":GOTO to the first of two labels")
            << ":GoTo :x\nskipped\n:x 1\nb\n:x 2" << "" << QStringList{":x|1", "b", ":x|2"};
        QTest::newRow("label case matters") << "a\n:goto :loop\nb\n:Loop\nc" << ""
                                             << QStringList{"a", "b", ":Loop", "c"};
        QTest::newRow("untaken :ifok resets the result")
            << "seq_exec_next\n:ifok :goto :top\n:ifng :end\nafter" << "f"
            << QStringList{"seq_exec_next", ":ifok|:goto|:top", ":ifng|:end", "after"};
        QTest::newRow(":ifng re-join loses quoting")
            << "seq_exec_next\n:ifng name \"a b\"" << "f" << QStringList{"seq_exec_next", "name|a|b"};
        QTest::newRow("loop over data sets")
            << ":loop\ncalc_exec\nseq_exec_next\n:ifok :goto :loop\n:end\nnever" << "ttf"
            << QStringList{":loop", "calc_exec", "seq_exec_next", ":loop", "calc_exec", "seq_exec_next",
                           ":loop", "calc_exec", "seq_exec_next", ":ifok|:goto|:loop"};
        QTest::newRow("continuations joined")
            << "images_load /d \\\n  *.img \\  \nx\\\ny\nb" << "" << QStringList{"images_load|/d|*.img|xy", "b"};
        QTest::newRow("continuation mark before a comment") << "a \\ # more\nb" << "" << QStringList{"a|b"};
        QTest::newRow("backslash inside, doubled at the end") << "a\\b c\\\\\nd" << "" << QStringList{"a\\b|c\\d"};
        QTest::newRow("windows line ends") << "a 1\r\nb\r\n" << "" << QStringList{"a|1", "b"};
    }

    void run()
    {
        QFETCH(QString, text);
        QFETCH(QString, results);
        QFETCH(QStringList, trace);
        answers = results;
        MessageCapture quiet;
        load(batchFile(text));
        exec();
        QVERIFY(waitEnded(1));
        settle();
        QCOMPARE(seen, trace);
        QCOMPARE(ended, 1);
        QVERIFY(!running());
    }

    // During a long command the run is switched off or a new batch (same line
    // index, its own labels) is loaded; the late end starts no stale line.
    void whileWaiting_data()
    {
        QTest::addColumn<QString>("how"); // x: batchExec, s: batchStop, e: by the executor, else the new batch
        QTest::addColumn<QStringList>("trace");
        const QStringList stopped{"a0", "calc_exec"};
        QTest::newRow("batchExec toggles it off") << "x" << stopped;
        QTest::newRow("batchStop") << "s" << stopped;
        QTest::newRow("executor toggles it off in its answer") << "e" << stopped;
        QTest::newRow("longer batch") << "b0\nb1\nb2\nb3" << QStringList{"a0", "calc_exec", "b2", "b3"};
        QTest::newRow("shorter batch ends the run") << "b0\nb1" << stopped;
        QTest::newRow("new labels are found") << "b0\nb1\n:goto :x\nb3\n:x" << QStringList{"a0", "calc_exec", ":x"};
    }

    void whileWaiting()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, trace);
        MessageCapture quiet;
        load(batchFile(QStringLiteral(":goto :y\n:y\nx\n:x\nz")));
        exec();
        QVERIFY(waitEnded(1));
        seen.clear();
        if (how == "e")
            stopAfter = 2;
        else
            holdOn = QStringLiteral("calc_exec");
        load(batchFile(QStringLiteral("a0\ncalc_exec\na2\na3\na4\n:x")));
        exec();
        if (how != "e") {
            QTRY_VERIFY(holding);
            if (how == "x")
                exec();
            else if (how == "s")
                post([b = batch] { b->batchStop(); });
            else
                load(batchFile(how));
            post([b = batch] { b->batchCheckEnd(); }); // the long command's end
        }
        QVERIFY(waitEnded(2));
        settle();
        QCOMPARE(seen, trace);
        QCOMPARE(ended, 2);
    }

    // A loop of control words never reaches the executor but still yields to a stop.
    void controlWordLoopCanBeStopped()
    {
        MessageCapture log;
        load(batchFile(QStringLiteral(":echo round\n:goto :echo\nnever")));
        exec();
        QTRY_VERIFY(log.count(QStringLiteral(":echo round")) > 1000);
        exec();
        QVERIFY(waitEnded(1));
        settle();
        QVERIFY(seen.isEmpty());
        QCOMPARE(ended, 1);
    }

    // Requests arriving together never hand out a second line while one is outstanding.
    void oneLineAtATime_data()
    {
        QTest::addColumn<QString>("requests"); // x: batchExec, c: batchCheckEnd, s: batchStart
        QTest::addColumn<QStringList>("trace");
        QTest::newRow("start, stop, start") << "xxx" << QStringList{"a"};
        QTest::newRow("start twice") << "ss" << QStringList{"a"};
        QTest::newRow("doubled check-end") << "xcc" << QStringList{"a"};
    }

    void oneLineAtATime()
    {
        QFETCH(QString, requests);
        QFETCH(QStringList, trace);
        MessageCapture quiet;
        Batch local; // on this thread, so the requests below are not interleaved with its steps
        connect(&local, &Batch::batchExCmd, this, [this](const BatchCmd& cmd) { seen << traceOf(cmd); });
        local.batchLoad(batchFile(QStringLiteral(":echo 1\n:echo 2\na\nb\nc")));
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

private:
    void execute(const BatchCmd& cmd)
    {
        seen << traceOf(cmd);
        if (stopAfter >= 0 && seen.size() >= stopAfter)
            exec();
        if (cmd.is("seq_exec_next")) {
            const bool ok = answers.startsWith(QLatin1Char('t'));
            answers.remove(0, 1);
            post([b = batch, ok] { b->setLastResultOk(ok); });
        }
        holding = !holdOn.isEmpty() && cmd.is(qPrintable(holdOn));
        if (!holding)
            post([b = batch] { b->batchCheckEnd(); });
    }

    template <typename F>
    void post(F f) { QMetaObject::invokeMethod(batch, f, Qt::QueuedConnection); }
    void load(const QString& file) { post([b = batch, file] { b->batchLoad(file); }); }
    void exec() { post([b = batch] { b->batchExec(); }); }
    QString batchFile(const QString& text) { return writeTextFile(dir.filePath(QString("b%1.bat").arg(++fileNo)), text); }
    bool waitEnded(int n) { return QTest::qWaitFor([&] { return ended >= n; }, 10000); }
    bool running()
    {
        bool r = true;
        QMetaObject::invokeMethod(batch, [&] { r = batch->isRunning(); }, Qt::BlockingQueuedConnection);
        return r;
    }

    // Runs what is queued on the batch thread (and what that queues), delivers its calls here.
    void settle()
    {
        for (int i = 0; i < 3; ++i) {
            running();
            QCoreApplication::processEvents();
        }
    }

    QTemporaryDir dir;
    int fileNo = 0;
    QThread thread;
    Batch* batch = nullptr;
    QStringList seen;
    QString answers;    // of successive seq_exec_next: 't' or 'f'
    QString holdOn;     // a command answered only when the test releases it
    int stopAfter = -1; // switch the batch off after this many commands
    bool holding = false;
    int ended = 0;
};

QTEST_GUILESS_MAIN(TstBatch)
#include "tst_batch.moc"
