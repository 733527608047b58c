#include "display/chcoord.h"
#include "display/widgets/dispb.h"
#include "display/widgets/rawdisp.h"
#include "input/imgdatas.h"
#include "input/widgets/selectdatafiles.h"
#include "mainwindow/body.h"
#include "mainwindow/framing/popdockbase.h"
#include "mainwindow/framing/seekctrl.h"
#include "recon/widgets/procctrl.h"
#include "tests/display/mouseevents.h"
#include "tests/support/bodyfixtures.h"
#include "tests/support/testutil.h"
#include "tools/itexwriter.h"

#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

#include <memory>

namespace {

// "a.img:8x4" a 16-bit image, "s.his:8x4:4:2" a sequence whose header
// promises 4 frames and holds 2, "t.txt" no known type, "gone.img" nothing.
QStringList makeFiles(const QTemporaryDir& dir, const QStringList& items)
{
    QStringList paths;
    for (const QString& item : items) {
        const QStringList p = item.split(QLatin1Char(':'));
        paths << dir.filePath(p[0]);
        QFile f(paths.last());
        if (p[0].endsWith(QLatin1String(".txt")) && f.open(QIODevice::WriteOnly))
            f.write("not an image");
        if (p.size() < 2)
            continue;
        ItexHeader hd;
        hd.width = p[1].section(QLatin1Char('x'), 0, 0).toUShort();
        hd.height = p[1].section(QLatin1Char('x'), 1, 1).toUShort();
        hd.frameCount = p.value(2, QStringLiteral("1")).toUShort();
        QVector<QByteArray> frames;
        QVector<uint16_t> px(hd.width * hd.height);
        for (int k = 0; k < p.value(3, QString::number(hd.frameCount)).toInt(); ++k) {
            for (int i = 0; i < px.size(); ++i)
                px[i] = uint16_t(1000 + 10 * k + i % hd.width);
            frames << itexFrameU16(px);
        }
        writeItexFile(paths.last(), hd, itexComment(hd.width, hd.height, 1.0), frames);
    }
    return paths;
}

bool load(Body& b, const QStringList& files)
{
    QSignalSpy done(&b, &Body::finishedLoadingCTFiles);
    b.dataFilesSelected(files, true);
    return done.wait(20000);
}

// "p10,20s" presses with Shift at the frame pixel showing image point (10.25, 20.25).
QString framePoints(const Body& b, QString script)
{
    const ChCoord* c = b.rawDisplay()->coord();
    static const QRegularExpression xy(QStringLiteral("(\\d+),(\\d+)"));
    for (const QRegularExpressionMatch& m : xy.globalMatch(QString(script)))
        script.replace(m.captured(0), QStringLiteral("%1,%2").arg(int(c->r2sx(m.captured(1).toDouble() + 0.25)))
                                          .arg(int(c->r2sy(m.captured(2).toDouble() + 0.25))));
    return script;
}

// Mode "add" hands the files over twice, "multi N" repeats the first file N
// times; diagnostic "N*text": N lines starting with text.
struct LoaderRow { QStringList files; QString mode; QStringList entries; QString diagnostic; };
// Slice-to, slice, CoR and region edge after each load.
struct NewSetRow { bool vertical, keep; QList<double> first, second; };

} // namespace

Q_DECLARE_METATYPE(LoaderRow)
Q_DECLARE_METATYPE(NewSetRow)

// The main window as a user drives it: loader, new set, loads and runs
// waiting for each other, gestures on the raw image, the end of the threads.
class TstBody : public QObject
{
    Q_OBJECT

private slots:
    void loaderKeepsGoodFiles_data()
    {
        QTest::addColumn<LoaderRow>("r");
        const QStringList ab{"a.img:8x4", "b.img:8x4"};
        const QString noMismatch = "0*Mismatch image size";
        QTest::newRow("others of another width or height")
            << LoaderRow{{"a.img:8x4", "b.img:6x4", "c.img:8x6", "d.img:8x4"}, "new", {"a.img", "d.img"},
                         "2*Mismatch image size"};
        QTest::newRow("sequence, then single")
            << LoaderRow{{"s.his:8x4:4", "e.img:8x4"}, "new",
                         {"s.his(0)", "s.his(1)", "s.his(2)", "s.his(3)", "e.img"}, noMismatch};
        QTest::newRow("sequence cut short")
            << LoaderRow{{"s.his:8x4:4:2", "e.img:8x4"}, "new", {"s.his(0)", "s.his(1)", "e.img"},
                         "2*Frame "};
        QTest::newRow("unknown type, missing file")
            << LoaderRow{{"t.txt", "gone.img", "e.img:8x4"}, "new", {"e.img"}, "2*Unknown file type"};
        QTest::newRow("add keeps the earlier images")
            << LoaderRow{ab, "add", {"a.img", "b.img", "a.img", "b.img"}, noMismatch};
        QTest::newRow("multi repeats the first file")
            << LoaderRow{ab, "multi 3", QStringList(3, "a.img"), noMismatch};
        QTest::newRow("multi of no number loads nothing") << LoaderRow{ab, "multi x", {}, noMismatch};
    }

    void loaderKeepsGoodFiles()
    {
        QFETCH(LoaderRow, r);
        const QString& mode = r.mode;
        QTemporaryDir dir;
        Body b(nullptr, 1);
        SelectDataFiles* panel = b.ctFiles();
        panel->setMulti(mode.startsWith(QLatin1String("multi")));
        child<QLineEdit>(*panel, "MultiTimes")->setText(mode.section(QLatin1Char(' '), 1));
        panel->setNewOnLoad(mode != QLatin1String("add"));
        const QStringList paths = makeFiles(dir, r.files);
        QSignalSpy loaded(&b, &Body::finishedLoadingCTFiles);
        MessageCapture messages;
        for (int k = mode == QLatin1String("add") ? 2 : 1; k > 0; --k) {
            panel->handOver(paths);
            QVERIFY(loaded.wait(20000));
        }
        QStringList names;
        for (const QString& p : panel->entries())
            names << QFileInfo(p).fileName();
        QCOMPARE(names, r.entries);
        QCOMPARE(b.imageSet()->count(), int(r.entries.size()));
        QCOMPARE(messages.count(r.diagnostic.section('*', 1)), r.diagnostic.section('*', 0, 0).toInt());
        QCOMPARE(b.seeker()->maximum(), std::max(0, int(r.entries.size()) - 1));
    }

    // After a first load and after a second (1000 x 600) one over the user's own choices.
    // Each axis and each choice once.
    void newSetConditions_data()
    {
        QTest::addColumn<NewSetRow>("r");
        QTest::newRow("vertical axis, kept") << NewSetRow{true, true, {1023, 512, 1024, 2047}, {1023, 77, 33.5, 44}};
        QTest::newRow("horizontal axis, not kept")
            << NewSetRow{false, false, {2047, 1024, 512, 1023}, {999, 500, 300, 599}};
    }

    void newSetConditions()
    {
        QFETCH(NewSetRow, r);
        QTemporaryDir dir;
        Body b(nullptr, 2);
        ProcCtrl* p = b.procCtrlPanel();
        p->setRotAxIsV(r.vertical);
        b.ctFiles()->setKeepConditions(r.keep);
        const auto state = [&] {
            const double r = b.ctCalcPanel()->calcRegion().x1;
            return sharedRegions(b) == QStringLiteral("0,0,%1,%1 0,0,%1,%1").arg(r)
                       ? QList<double>{double(p->sliceTo()), double(p->sliceNo()), p->cor(), r}
                       : QList<double>{};
        };
        QVERIFY(load(b, makeFiles(dir, {"a.img:2048x1024", "b.img:2048x1024"})));
        QCOMPARE(state(), r.first);
        QCOMPARE(p->dataSetImages(), 2);
        p->setSliceNo(77);
        p->setCor(33.5);
        b.cRUpdated(0, 0, 44, 44);
        b.dRUpdated(0, 0, 44, 44);
        QVERIFY(load(b, makeFiles(dir, {"c.img:1000x600", "d.img:1000x600", "e.img:1000x600"})));
        QCOMPARE(state(), r.second);
        QCOMPARE(p->dataSetImages(), 3);
    }

    void loadAndRunWaitForEachOther_data()
    {
        QTest::addColumn<bool>("calcDuringLoad");
        QTest::newRow("calc during a load starts when it ends") << true;
        QTest::newRow("load during a run waits for its end") << false;
    }

    void loadAndRunWaitForEachOther()
    {
        QFETCH(bool, calcDuringLoad);
        QTemporaryDir dir;
        Body b(nullptr, 1);
        b.procCtrlPanel()->setRotAxIsV(true);
        const QStringList files = makeFiles(dir, QStringList(20, QStringLiteral("p.img:64x16")));
        QSignalSpy ended(&b, &Body::calcFinished);
        if (calcDuringLoad) {
            b.dataFilesSelected(files, true);
            QString progress; // the window answers while files load
            QTimer::singleShot(0, &b, [&] { progress = child<QLabel>(b, "LoadingMsg")->text(); });
            b.toggleCalcCt();
            QVERIFY(b.isStartPending() && !b.isRunning());
            QTRY_VERIFY(QRegularExpression(QStringLiteral("^Loading 1?\\d / 20$")).match(progress).hasMatch());
        } else {
            QVERIFY(load(b, files.mid(0, 2)));
            b.procCtrlPanel()->setCor(31.5);
            child<QAbstractButton>(b, "SelectCt2")->click();
            b.toggleCalcCt();
            QVERIFY(b.isRunning());
            b.dataFilesSelected(files, true);
            QVERIFY(b.hasDeferredLoad() && !b.isLoading());
            QCOMPARE(b.imageSet()->count(), 2);
        }
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
        QTRY_VERIFY(!b.isLoading() && !b.hasDeferredLoad());
        QCOMPARE(b.imageSet()->count(), 20);
    }

    // A 32 x 16 image starts at slice 8, CoR 16 (vertical axis) or slice 16,
    // CoR 8 (horizontal); a Shift drag sets every panel's regions.
    void rawImageGestures_data()
    {
        QTest::addColumn<bool>("vertical");
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QString>("state"); // slice, CoR, calculation and display regions
        const QString v = QStringLiteral(" 0,0,31,31 0,0,31,31"), h = QStringLiteral(" 0,0,15,15 0,0,15,15");
        QTest::newRow("left click, vertical axis: slice = y") << true << "p20,5 r20,5" << "5 16" + v;
        QTest::newRow("left click, horizontal axis: slice = x") << false << "p20,5 r20,5" << "20 8" + h;
        QTest::newRow("right click, vertical axis: CoR = x") << true << "q20,5 r20,5" << "8 20" + v;
        QTest::newRow("right click, horizontal axis: CoR = y") << false << "q20,5 r20,5" << "16 5" + h;
        QTest::newRow("pan: no pick") << true << "p20,5 m10,2 r10,2" << "8 16" + v;
        QTest::newRow("shift drag, vertical: extent in x") << true << "p4,3s m20,12s r20,12s" << "8 16 4,4,20,20 4,4,20,20";
        QTest::newRow("shift drag, horizontal: extent in y") << false << "p4,3s m20,12s r20,12s" << "16 8 3,3,12,12 3,3,12,12";
    }

    void rawImageGestures()
    {
        QFETCH(bool, vertical);
        QFETCH(QString, gesture);
        QFETCH(QString, state);
        QTemporaryDir dir;
        Body b(nullptr, 2);
        b.procCtrlPanel()->setRotAxIsV(vertical);
        QVERIFY(load(b, makeFiles(dir, {"a.img:32x16"})));
        b.imgsTab()->setCurrentIndex(0);
        QVERIFY(QTest::qWaitForWindowExposed(b.imgsPopDocBase()->popWindow()));
        DispB* frame = b.rawDisplay()->dispB();
        QVERIFY(frame->width() > 64);
        ::gesture(frame, framePoints(b, gesture));
        renderOf(frame); // the selection reaches the panels at the repaint
        QCOMPARE(QString("%1 %2 %3").arg(b.procCtrlPanel()->sliceNo()).arg(std::floor(b.procCtrlPanel()->cor()))
                     .arg(sharedRegions(b)), state);
    }

    // Closed in the middle of a load.
    void closeEndsEveryThread()
    {
        QTemporaryDir dir;
        auto b = std::make_unique<Body>(nullptr, 2);
        QSignalSpy finishing(b.get(), &Body::finishing);
        b->show();
        b->dataFilesSelected(makeFiles(dir, QStringList(30, QStringLiteral("p.img:64x64"))), true);
        QTRY_VERIFY(b->imageSet()->count() > 0);
        // Closing the image window alone docks the images and ends nothing.
        b->imgsPopDocBase()->popWindow()->close();
        QVERIFY(!b->imgsPopDocBase()->isPopped());
        QCOMPARE(finishing.count(), 0);
        const QList<QThread*> threads = b->ownThreads();
        QCOMPARE(threads.size(), 6); // image set, batch, sequence, saver, two workers
        int ended = 0;
        for (QThread* t : threads) {
            QVERIFY(t->isRunning());
            connect(t, &QThread::finished, this, [&ended] { ++ended; }, Qt::DirectConnection);
        }
        QVERIFY(b->close());
        QCOMPARE(finishing.count(), 1);
        b.reset();
        QCOMPARE(ended, int(threads.size()));
    }
};

QTEST_MAIN(TstBody)
#include "tst_body.moc"
