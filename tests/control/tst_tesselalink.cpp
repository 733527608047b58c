// The viewer link against a stand-in Tessela on a local port: the wire,
// the busy reports, the requests, and the stages of single and continuous 2DA.
#include "control/linereader.h"
#include "control/tesselactrl.h"
#include "control/tesselalink.h"
#include "tests/support/testutil.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {
// Records every line it gets; when answering, reports busy and then free
// with the request's name (lower case, as a sloppy peer might).
struct Viewer : QObject {
    Viewer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            peer = server.nextPendingConnection();
            ++connections;
            connect(peer, &QTcpSocket::readyRead, this, [this, s = peer.data()] { read(s); });
        });
    }
    void say(const QByteArray& bytes) { peer->write(bytes), peer->flush(); }
    void read(QTcpSocket* s)
    {
        while (s->canReadLine()) {
            got << QString::fromLatin1(s->readLine()).chopped(1);
            const QByteArray word = got.last().section(' ', 0, 0).toLatin1();
            if (answer && (word.endsWith("_2DA") || word.startsWith("LOAD_")))
                say("ISBUSY 1\nISBUSY 0 " + word.toLower() + "\n");
        }
    }
    QTcpServer server;
    QPointer<QTcpSocket> peer;
    QStringList got;
    bool answer = true;
    int connections = 0;
};
} // namespace

class TstTesselaLink : public QObject
{
    Q_OBJECT

    QScopedPointer<Viewer> viewer;
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
        viewer.reset(new Viewer);
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

    // Segments from the viewer: messages handed on, then the busy state, the
    // last finished request and how often the busy state changed.
    void overTheWire_data()
    {
        QTest::addColumn<QByteArrayList>("segments");
        QTest::addColumn<int>("messages");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<QString>("finished");
        QTest::addColumn<int>("changes");
        QTest::newRow("two lines in one segment")
            << QByteArrayList{"isbusy 1\nISBUSY 0 load_i1_files\n"} << 2 << false << "LOAD_I1_FILES" << 2;
        QTest::newRow("one line in two") << QByteArrayList{"ISBUSY", " 1\n"} << 1 << true << "" << 1;
        QTest::newRow("busy forgets the request") << QByteArrayList{"ISBUSY 0 a\nISBUSY 1 b\n"} << 2 << true << "" << 1;
        QTest::newRow("only 1 is busy") << QByteArrayList{"ISBUSY 2 x\n"} << 1 << false << "X" << 0;
        QTest::newRow("garbage ignored, empty line not handed on")
            << QByteArrayList{"ISBUSY\ngarbage 1\nISBUSYX 1\n\xff\xfe\n\n\r\n"} << 5 << false << "" << 0;
        QTest::newRow("flood, then a line") << QByteArrayList{QByteArray(3 << 20, 'x'), "\nISBUSY 1\n"} << 1
                                            << true << "" << 1;
    }

    void overTheWire()
    {
        QFETCH(QByteArrayList, segments);
        QFETCH(int, messages);
        QFETCH(bool, busy);
        QFETCH(QString, finished);
        QFETCH(int, changes);
        MessageCapture log;
        QSignalSpy spy(link.get(), &TcpClient::receiveAnMsg);
        QSignalSpy changed(link.get(), &TesselaLink::changedIsBusy);
        for (const QByteArray& s : segments) {
            viewer->say(s);
            QTest::qWait(50);
            QVERIFY(link->rxPending() <= LineReader::defaultMaxLine);
        }
        QTRY_COMPARE(spy.count(), messages);
        QCOMPARE(link->busy(), busy);
        QCOMPARE(link->lastFinished(), finished);
        QCOMPARE(changed.count(), changes);
        QCOMPARE(log.count("Received line longer"), segments[0].size() > 1000 ? 1 : 0);
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
        QTest::addColumn<int>("layout"); // 0 slice folders, 1 sub-folders, 2 flat
        QTest::addColumn<QString>("dirName");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("with2dA");
        QTest::addColumn<QList<int>>("range"); // one slice, or first, last, step
        QTest::addColumn<QStringList>("sent"); // %D: the data directory
        QTest::addColumn<QString>("complaint");
        const QString pattern = "LOAD_I1_FILES_OF_PATTERN new %D/%1/ *.dat", exec = "ANALYZER_EXEC_2DA %1";
        const QStringList none;
        QTest::newRow("2DA off: load, then stage 0") << 0 << "d" << none << false << QList<int>{7}
                                                     << QStringList{pattern.arg("00007")} << "";
        QTest::newRow("2DA on") << 0 << "d" << none << true << QList<int>{7}
                                << QStringList{pattern.arg("00007"), exec.arg("00007")} << "";
        QTest::newRow("continuous 10..20 step 5")
            << 0 << "d" << none << false << QList<int>{10, 20, 5}
            << QStringList{pattern.arg("00010"), exec.arg("00010"), pattern.arg("00015"), exec.arg("00015"),
                           pattern.arg("00020"), exec.arg("00020")} << "";
        QTest::newRow("sub-folders, by name")
            << 1 << "d" << QStringList{"E2/a-00007.dat", "E1/a-00007.dat", "E1/a-00008.dat", "E1/a-00007.png"}
            << false << QList<int>{7} << QStringList{"LOAD_I1_FILES new %D/E1/a-00007.dat %D/E2/a-00007.dat"} << "";
        QTest::newRow("flat, blank file left out")
            << 2 << "d" << QStringList{"b c-00007.dat", "a-00007.dat", "a-00070.dat", "E/a-00007.dat"} << false
            << QList<int>{7} << QStringList{"LOAD_I1_FILES new %D/a-00007.dat"} << "Not sent to Tessela";
        QTest::newRow("no files") << 2 << "d" << none << true << QList<int>{7} << none << "No data files of slice 00007";
        QTest::newRow("folder with a blank") << 0 << "d e" << none << true << QList<int>{10, 20, 5} << none
                                             << "Folder not sent to Tessela";
    }

    void drive()
    {
        QFETCH(int, layout);
        QFETCH(QString, dirName);
        QFETCH(QStringList, files);
        QFETCH(bool, with2dA);
        QFETCH(QList<int>, range);
        QFETCH(QStringList, sent);
        QFETCH(QString, complaint);
        QTemporaryDir tmp;
        const QString dir = tmp.filePath(dirName);
        for (const QString& f : files) {
            QDir().mkpath(QFileInfo(dir + '/' + f).path());
            QFile(dir + '/' + f).open(QIODevice::WriteOnly);
        }
        MessageCapture log;
        QSignalSpy cont(ctrl.get(), &TesselaCtrl::cont2dAUpdated);
        ctrl->setSaveLayout({dir, layout != 2, layout == 0});
        ctrl->setWith2dA(with2dA);
        if (range.size() == 1)
            ctrl->tslLoadSlice(range[0]);
        else
            ctrl->startCont2dA(range[0], range[1], range[2]);
        for (QString& s : sent)
            s = QDir::toNativeSeparators(s.replace("%D", dir));
        QTRY_COMPARE(viewer->got.mid(1), sent);
        QCOMPARE(requests(), sent);
        QTRY_COMPARE(ctrl->stage(), 0);
        QTRY_VERIFY(!ctrl->cont2dA());
        QCOMPARE(cont.count(), range.size() == 3 ? 2 : 0);
        if (!complaint.isEmpty())
            QCOMPARE(log.count(complaint), 1);
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
