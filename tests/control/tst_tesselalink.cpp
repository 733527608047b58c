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
class Viewer : public QObject
{
public:
    Viewer()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            peer = server.nextPendingConnection();
            ++connections;
            connect(peer, &QTcpSocket::readyRead, this, [this, s = peer.data()] { read(s); });
        });
    }
    void say(const QByteArray& bytes)
    {
        peer->write(bytes);
        peer->flush();
    }
    QTcpServer server;
    QPointer<QTcpSocket> peer;
    QStringList got;
    bool answer = true;
    int connections = 0;

private:
    void read(QTcpSocket* s)
    {
        while (s->canReadLine()) {
            const QString line = QString::fromLatin1(s->readLine()).chopped(1);
            got << line;
            const QString word = line.section(QLatin1Char(' '), 0, 0);
            if (answer && (word.endsWith(QLatin1String("_2DA")) || word.startsWith(QLatin1String("LOAD_"))))
                say("ISBUSY 1\nISBUSY 0 " + word.toLower().toLatin1() + "\n");
        }
    }
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
        QTest::addColumn<int>("limit");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<int>("dropped");
        QTest::newRow("two lines in one segment") << QByteArrayList{"ISBUSY 1\nISBUSY 0 x\n"} << 64
                                                  << QByteArrayList{"ISBUSY 1", "ISBUSY 0 x"} << 0;
        QTest::newRow("one line in two segments") << QByteArrayList{"ISBU", "SY 1\n"} << 64
                                                  << QByteArrayList{"ISBUSY 1"} << 0;
        QTest::newRow("CR stays, unfinished held") << QByteArrayList{"a\r\n\nb"} << 64
                                                   << QByteArrayList{"a\r", ""} << 0;
        QTest::newRow("at the limit kept, one over dropped") << QByteArrayList{"abcd\nabcde\nok\n"} << 4
                                                             << QByteArrayList{"abcd", "ok"} << 1;
        QTest::newRow("overlong across segments, then on") << QByteArrayList{"abc", "de", "fg\nx", "y\n"} << 4
                                                           << QByteArrayList{"xy"} << 1;
    }

    void lineReader()
    {
        QFETCH(QByteArrayList, segments);
        QFETCH(int, limit);
        MessageCapture log;
        LineReader reader(limit);
        QByteArrayList got;
        for (const QByteArray& s : segments) {
            got << reader.feed(s);
            QVERIFY(reader.pending() <= limit);
        }
        QFETCH(QByteArrayList, lines);
        QFETCH(int, dropped);
        QCOMPARE(got, lines);
        QCOMPARE(reader.droppedLines(), dropped);
        QCOMPARE(log.count("Received line longer"), reader.droppedLines());
    }

    void overTheWire_data()
    {
        QTest::addColumn<QByteArrayList>("segments");
        QTest::addColumn<QByteArrayList>("messages");
        const QByteArray flood(3 << 20, 'x');
        QTest::newRow("two lines in one segment") << QByteArrayList{"isbusy 1\nISBUSY 0 load_i1_files\n"}
                                                  << QByteArrayList{"isbusy 1", "ISBUSY 0 load_i1_files"};
        QTest::newRow("one line in two") << QByteArrayList{"ISBUSY", " 1\n"} << QByteArrayList{"ISBUSY 1"};
        QTest::newRow("flood, then a line") << QByteArrayList{flood, "\nISBUSY 1\n"} << QByteArrayList{"ISBUSY 1"};
    }

    void overTheWire()
    {
        QFETCH(QByteArrayList, segments);
        MessageCapture log;
        QSignalSpy spy(link.get(), &TcpClient::receiveAnMsg);
        for (const QByteArray& s : segments) {
            viewer->say(s);
            QTest::qWait(50);
            QVERIFY(link->rxPending() <= LineReader::defaultMaxLine);
        }
        QFETCH(QByteArrayList, messages);
        QTRY_COMPARE(spy.count(), messages.size());
        for (int i = 0; i < messages.size(); ++i)
            QCOMPARE(spy.at(i).at(0).toByteArray(), messages[i]);
        QCOMPARE(log.count("Received line longer"), segments[0].size() > 1000 ? 1 : 0);
        QVERIFY(link->isLinked());
    }

    void isBusyReports_data()
    {
        QTest::addColumn<QByteArrayList>("lines");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<QString>("finished");
        QTest::addColumn<int>("changes");
        QTest::newRow("isbusy 1") << QByteArrayList{"isbusy 1"} << true << "" << 1;
        QTest::newRow("free with a request") << QByteArrayList{"isbusy 1", "ISBUSY 0 load_i1_files"} << false
                                             << "LOAD_I1_FILES" << 2;
        QTest::newRow("busy forgets the request") << QByteArrayList{"ISBUSY 0 a", "ISBUSY 1 b"} << true << "" << 1;
        QTest::newRow("only 1 is busy") << QByteArrayList{"ISBUSY 2 x"} << false << "X" << 0;
        QTest::newRow("ignored lines") << QByteArrayList{"ISBUSY", "garbage 1", "ISBUSYX 1", "\xff\xfe"} << false
                                       << "" << 0;
    }

    void isBusyReports()
    {
        QFETCH(QByteArrayList, lines);
        QFETCH(bool, busy);
        QFETCH(QString, finished);
        QFETCH(int, changes);
        QSignalSpy spy(link.get(), &TesselaLink::changedIsBusy);
        for (const QByteArray& l : lines)
            link->receiveAnMsg(l);
        QCOMPARE(link->busy(), busy);
        QCOMPARE(link->lastFinished(), finished);
        QCOMPARE(spy.count(), changes);
    }

    void wireRequests_data()
    {
        QTest::addColumn<bool>("busyBefore");
        QTest::addColumn<QStringList>("files"); // one item ending in '/' is a folder, "#n" a slice
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("files joined by blanks") << false << QStringList{"/d/a-00001.dat", "/d/b-00001.dat"}
                                                << QStringList{"LOAD_I1_FILES new /d/a-00001.dat /d/b-00001.dat"};
        QTest::newRow("empty list sends nothing") << false << QStringList{} << QStringList{"myName Fenu2"};
        QTest::newRow("blank path left out") << false << QStringList{"/d/a b.dat", "/d/c.dat"}
                                             << QStringList{"LOAD_I1_FILES new /d/c.dat"};
        QTest::newRow("folder") << false << QStringList{"/d/00001/"}
                                << QStringList{"LOAD_I1_FILES_OF_PATTERN new /d/00001/ *.dat"};
        QTest::newRow("analysis") << false << QStringList{"#00012"} << QStringList{"ANALYZER_EXEC_2DA 00012"};
        QTest::newRow("busy: dropped, greeting again") << true << QStringList{"#00012"} << QStringList{"myName Fenu2"};
    }

    void wireRequests()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, busyBefore);
        QFETCH(QStringList, sent);
        viewer->answer = false;
        if (busyBefore)
            link->receiveAnMsg("ISBUSY 1");
        if (files.size() == 1 && files[0].startsWith('#'))
            link->exec2dA(files[0].mid(1));
        else if (files.size() == 1 && files[0].endsWith('/'))
            link->loadFilesOfPattern(files[0]);
        else
            link->loadFiles(files);
        QCOMPARE(requests(), sent);
        QCOMPARE(link->busy(), sent[0] != "myName Fenu2");
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
        const QString pattern = "LOAD_I1_FILES_OF_PATTERN new %D/%1/ *.dat";
        const QString exec = "ANALYZER_EXEC_2DA %1";
        QTest::newRow("2DA off: load, then stage 0") << 0 << "d" << QStringList{} << false << QList<int>{7}
                                                     << QStringList{pattern.arg("00007")} << "";
        QTest::newRow("2DA on") << 0 << "d" << QStringList{} << true << QList<int>{7}
                                << QStringList{pattern.arg("00007"), exec.arg("00007")} << "";
        QTest::newRow("continuous 10..20 step 5")
            << 0 << "d" << QStringList{} << false << QList<int>{10, 20, 5}
            << QStringList{pattern.arg("00010"), exec.arg("00010"), pattern.arg("00015"), exec.arg("00015"),
                           pattern.arg("00020"), exec.arg("00020")} << "";
        QTest::newRow("sub-folders, by name") << 1 << "d"
                                              << QStringList{"E2/a-00007.dat", "E1/a-00007.dat", "E1/a-00008.dat",
                                                             "E1/a-00007.png", "a-00007.dat"}
                                              << false << QList<int>{7}
                                              << QStringList{"LOAD_I1_FILES new %D/E1/a-00007.dat %D/E2/a-00007.dat"}
                                              << "";
        QTest::newRow("flat, blank file left out") << 2 << "d" << QStringList{"b c-00007.dat", "a-00007.dat", "a-00070.dat"}
                                                   << false << QList<int>{7}
                                                   << QStringList{"LOAD_I1_FILES new %D/a-00007.dat"}
                                                   << "Not sent to Tessela";
        QTest::newRow("no files") << 2 << "d" << QStringList{} << true << QList<int>{7} << QStringList{}
                                  << "No data files of slice 00007";
        QTest::newRow("folder with a blank") << 0 << "d e" << QStringList{} << true << QList<int>{10, 20, 5}
                                             << QStringList{} << "Folder not sent to Tessela";
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
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
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
