// The viewer link against a stand-in Tessela on a local port: the wire,
// the busy reports, the requests, and the stages of single and continuous 2DA.
#include "control/linereader.h"
#include "control/tesselactrl.h"
#include "control/tesselalink.h"
#include "tests/support/standinviewer.h"
#include "tests/support/testutil.h"

#include <QtTest>

// Segments from the viewer: messages handed on, then the busy state, the
// last finished request and how often the busy state changed.
struct WireRow { QByteArrayList segments; int messages; bool busy; QString finished; int changes; };
// layout 0 slice folders, 1 sub-folders, 2 flat; range: one slice, or first,
// last, step; sent: %D is the data directory.
struct DriveRow {
    int layout;
    QString dirName;
    QStringList files;
    bool with2dA;
    QList<int> range;
    QStringList sent;
    QString complaint;
};
Q_DECLARE_METATYPE(WireRow)
Q_DECLARE_METATYPE(DriveRow)

class TstTesselaLink : public QObject
{
    Q_OBJECT

    QScopedPointer<StandInViewer> viewer;
    QScopedPointer<TesselaLink> link;
    QScopedPointer<TesselaCtrl> ctrl;

    // What the viewer got after the greeting, once everything sent before
    // the call has arrived.
    QStringList requests()
    {
        link->send(QStringLiteral("end\n"));
        [&] { QTRY_VERIFY(viewer->got.contains(QStringLiteral("end"))); }();
        QStringList r = viewer->got.mid(1);
        r.removeAll(QStringLiteral("end"));
        viewer->got = viewer->got.mid(0, 1);
        return r;
    }

private slots:
    void init()
    {
        viewer.reset(new StandInViewer);
        link.reset(new TesselaLink(QStringLiteral("127.0.0.1"), viewer->server.serverPort()));
        ctrl.reset(new TesselaCtrl);
        ctrl->setLink(link.get());
        link->doConnect();
        QTRY_COMPARE(viewer->got, QStringList{"myName Fenu2"});
        QVERIFY(link->isLinked());
    }

    void cleanup()
    {
        ctrl.reset();
        link.reset();
        viewer.reset();
    }

    void lineReader_data()
    {
        QTest::addColumn<QByteArrayList>("segments");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::newRow("at the limit kept, one over dropped") << QByteArrayList{"abcd\nabcde\nok\n"}
                                                             << QByteArrayList{"abcd", "ok"};
        QTest::newRow("overlong across segments, then on") << QByteArrayList{"abc", "de", "fg\nx", "y\n"}
                                                           << QByteArrayList{"xy"};
    }

    void lineReader()
    {
        QFETCH(QByteArrayList, segments);
        QFETCH(QByteArrayList, lines);
        MessageCapture log;
        LineReader reader(4);
        QByteArrayList got;
        for (const QByteArray& s : segments) {
            got << reader.feed(s);
            QVERIFY(reader.pending() <= 4);
        }
        QCOMPARE(got, lines);
        QCOMPARE(log.count("Received line longer"), 1);
    }

    void overTheWire_data()
    {
        QTest::addColumn<WireRow>("row");
        QTest::newRow("two lines in one segment")
            << WireRow{{"isbusy 1\nISBUSY 0 load_i1_files\n"}, 2, false, "LOAD_I1_FILES", 2};
        QTest::newRow("one line in two") << WireRow{{"ISBUSY", " 1\n"}, 1, true, "", 1};
        QTest::newRow("busy forgets the request") << WireRow{{"ISBUSY 0 a\nISBUSY 1 b\n"}, 2, true, "", 1};
        QTest::newRow("only 1 is busy") << WireRow{{"ISBUSY 2 x\n"}, 1, false, "X", 0};
        QTest::newRow("garbage ignored, empty line not handed on")
            << WireRow{{"ISBUSY\ngarbage 1\nISBUSYX 1\n\xff\xfe\n\n\r\n"}, 5, false, "", 0};
        QTest::newRow("flood, then a line")
            << WireRow{{QByteArray(3 << 20, 'x'), "\nISBUSY 1\n"}, 1, true, "", 1};
    }

    void overTheWire()
    {
        QFETCH(WireRow, row);
        MessageCapture log;
        QSignalSpy spy(link.get(), &TcpClient::receiveAnMsg);
        QSignalSpy changed(link.get(), &TesselaLink::changedIsBusy);
        for (const QByteArray& s : row.segments) {
            viewer->say(s);
            QTest::qWait(50);
            QVERIFY(link->rxPending() <= LineReader::defaultMaxLine);
        }
        QTRY_COMPARE(spy.count(), row.messages);
        QCOMPARE(link->busy(), row.busy);
        QCOMPARE(link->lastFinished(), row.finished);
        QCOMPARE(changed.count(), row.changes);
        QCOMPARE(log.count("Received line longer"), row.segments[0].size() > 1000 ? 1 : 0);
    }

    void wireRequests_data()
    {
        QTest::addColumn<bool>("busyBefore");
        QTest::addColumn<QStringList>("files"); // "#n": analysis of slice n
        QTest::addColumn<QString>("sent");
        QTest::newRow("joined by blanks, blank path left out") << false << QStringList{"/d/a b", "/d/c", "/d/e"}
                                                               << "LOAD_I1_FILES new /d/c /d/e";
        QTest::newRow("empty list sends nothing") << false << QStringList{} << "myName Fenu2";
        QTest::newRow("busy: dropped, greeting again") << true << QStringList{"#00012"} << "myName Fenu2";
    }

    void wireRequests()
    {
        QFETCH(bool, busyBefore);
        QFETCH(QStringList, files);
        QFETCH(QString, sent);
        viewer->answer = false;
        if (busyBefore)
            link->receiveAnMsg("ISBUSY 1");
        if (files.value(0).startsWith('#'))
            link->exec2dA(files[0].mid(1));
        else
            link->loadFiles(files);
        QCOMPARE(requests(), QStringList{sent});
        QCOMPARE(link->busy(), !sent.startsWith("myName"));
    }

    void drive_data()
    {
        QTest::addColumn<DriveRow>("r");
        const QString pattern = "LOAD_I1_FILES_OF_PATTERN new %D/%1/ *.dat", exec = "ANALYZER_EXEC_2DA %1";
        QTest::newRow("2DA off: load, then stage 0")
            << DriveRow{0, "d", {}, false, {7}, {pattern.arg("00007")}, ""};
        QTest::newRow("2DA on")
            << DriveRow{0, "d", {}, true, {7}, {pattern.arg("00007"), exec.arg("00007")}, ""};
        QTest::newRow("continuous 10..20 step 5")
            << DriveRow{0, "d", {}, false, {10, 20, 5},
                        {pattern.arg("00010"), exec.arg("00010"), pattern.arg("00015"), exec.arg("00015"),
                         pattern.arg("00020"), exec.arg("00020")}, ""};
        QTest::newRow("sub-folders, by name")
            << DriveRow{1, "d", {"E2/a-00007.dat", "E1/a-00007.dat", "E1/a-00008.dat", "E1/a-00007.png"},
                        false, {7},
                        {"LOAD_I1_FILES new %D/E1/a-00007.dat %D/E2/a-00007.dat"}, ""};
        QTest::newRow("flat, blank file left out")
            << DriveRow{2, "d", {"b c-00007.dat", "a-00007.dat", "a-00070.dat", "E/a-00007.dat"}, false, {7},
                        {"LOAD_I1_FILES new %D/a-00007.dat"}, "Not sent to Tessela"};
        QTest::newRow("no files") << DriveRow{2, "d", {}, true, {7}, {}, "No data files of slice 00007"};
        QTest::newRow("folder with a blank")
            << DriveRow{0, "d e", {}, true, {10, 20, 5}, {}, "Folder not sent to Tessela"};
    }

    void drive()
    {
        QFETCH(DriveRow, r);
        QTemporaryDir tmp;
        const QString dir = tmp.filePath(r.dirName);
        for (const QString& f : r.files) {
            QDir().mkpath(QFileInfo(dir + '/' + f).path());
            QFile(dir + '/' + f).open(QIODevice::WriteOnly);
        }
        MessageCapture log;
        QSignalSpy cont(ctrl.get(), &TesselaCtrl::cont2dAUpdated);
        ctrl->setSaveLayout({dir, r.layout != 2, r.layout == 0});
        ctrl->setWith2dA(r.with2dA);
        if (r.range.size() == 1)
            ctrl->tslLoadSlice(r.range[0]);
        else
            ctrl->startCont2dA(r.range[0], r.range[1], r.range[2]);
        QStringList sent = r.sent;
        for (QString& s : sent)
            s = QDir::toNativeSeparators(s.replace("%D", dir));
        QTRY_COMPARE(viewer->got.mid(1), sent);
        QCOMPARE(requests(), sent);
        QTRY_COMPARE(ctrl->stage(), 0);
        QTRY_VERIFY(!ctrl->cont2dA());
        QCOMPARE(cont.count(), r.range.size() == 3 ? 2 : 0);
        if (!r.complaint.isEmpty())
            QCOMPARE(log.count(r.complaint), 1);
    }

    void waitsForSavedFiles()
    {
        ctrl->setSaveLayout({QDir::tempPath(), true, true});
        ctrl->noticedSliceQueued(10);
        ctrl->noticedSliceQueued(10);
        ctrl->tslLoadSlice(10);
        QVERIFY(requests().isEmpty());
        ctrl->noticedSliceSaved(10);
        QVERIFY(requests().isEmpty());
        ctrl->noticedSliceSaved(10);
        QCOMPARE(requests().size(), 1);
    }

    void lostRegainedAndReset()
    {
        viewer->answer = false;
        MessageCapture log;
        ctrl->setSaveLayout({QDir::tempPath(), true, true});
        QVERIFY(ctrl->startCont2dA(1, 9, 1));
        QCOMPARE(requests().size(), 1);
        viewer->got.clear();
        viewer->peer->close();
        QTRY_VERIFY(!ctrl->cont2dA());
        QCOMPARE(ctrl->stage(), 0);
        QCOMPARE(log.count("Tessela link lost"), 1);
        QTRY_VERIFY_WITH_TIMEOUT(viewer->connections == 2 && link->isLinked(), 5000);
        QTRY_COMPARE(viewer->got, QStringList{"myName Fenu2"});
        // The viewer never answers; the user gives up, and the next request goes out.
        ctrl->tslLoadSlice(3);
        QCOMPARE(requests().size(), 1);
        QVERIFY(link->busy());
        ctrl->tslReset();
        QVERIFY(!link->busy() && ctrl->stage() == 0);
        ctrl->tslLoadSlice(4);
        QCOMPARE(requests().size(), 1);
    }

    void refusedViewer()
    {
        const quint16 port = viewer->server.serverPort();
        link->doDisconnect();
        viewer.reset(); // nobody listens there any more
        MessageCapture log;
        TesselaLink lone(QStringLiteral("127.0.0.1"), port);
        TesselaCtrl c;
        c.setLink(&lone);
        lone.doConnect();
        QTRY_COMPARE(log.count("Link to 127.0.0.1"), 1);
        QCOMPARE(lone.linkButtonStyle(), QStringLiteral("background-color: rgb(255, 243, 162);"));
        QVERIFY(!c.startCont2dA(1, 3, 1));
        QCOMPARE(log.count("Tessela is not linked"), 1);
    }
};

QTEST_GUILESS_MAIN(TstTesselaLink)
#include "tst_tesselalink.moc"
