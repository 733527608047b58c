#include "display/chcoord.h"
#include "display/dispb.h"
#include "display/rawdisp.h"
#include "input/imgdata.h"
#include "input/imgdatas.h"
#include "input/selectaimgfile.h"
#include "input/selectdatafiles.h"
#include "mainwindow/body.h"
#include "mainwindow/framing/closablebase.h"
#include "mainwindow/framing/popdockbase.h"
#include "mainwindow/framing/seekctrl.h"
#include "recon/ctcalc.h"
#include "recon/ctcalc2ui.h"
#include "recon/procctrl.h"
#include "tests/display/mouseevents.h"
#include "tests/support/testutil.h"
#include "tools/itexwriter.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

// The main window as a user drives it: the loader with good and bad files,
// the conditions a new set brings, the CT-XAFS I0 choice, clicks and the
// selection on the raw image, the file panels' modes, and start and end of
// the window with its threads.
class TstBody : public QObject
{
    Q_OBJECT

private slots:
    void loaderSkipsBadFiles_data();
    void loaderSkipsBadFiles();
    void newSetConditions_data();
    void newSetConditions();
    void loadAndRunWaitForEachOther_data();
    void loadAndRunWaitForEachOther();
    void panelModes_data();
    void panelModes();
    void i0FileByEnergy_data();
    void i0FileByEnergy();
    void clicksOnRawImage_data();
    void clicksOnRawImage();
    void selectionSetsRegions_data();
    void selectionSetsRegions();
    void closeEndsEveryThread_data();
    void closeEndsEveryThread();
};

namespace {

// Writes a 16-bit ITEX file; a sequence file whose header promises
// `frames` but that holds only `present` of them when present >= 0.
bool writeItex(const QString& path, int w, int h, int frames = 1, int present = -1)
{
    ItexHeader hd;
    hd.width = uint16_t(w);
    hd.height = uint16_t(h);
    hd.frameCount = uint16_t(frames);
    QVector<QByteArray> data;
    for (int f = 0; f < (present < 0 ? frames : present); ++f) {
        QVector<uint16_t> px(w * h);
        for (int i = 0; i < px.size(); ++i)
            px[i] = uint16_t(1000 + 10 * f + i % w);
        data << itexFrameU16(px);
    }
    return writeItexFile(path, hd, itexComment(w, h, 1.0), data);
}

// "a.img:8x4" writes an image, "s.his:8x4:4:2" a sequence promising 4
// frames and holding 2, "t.txt" a file of no known type, "gone.img"
// nothing at all. Returns the paths in order.
QStringList makeFiles(const QTemporaryDir& dir, const QStringList& specs)
{
    QStringList paths;
    for (const QString& spec : specs) {
        const QStringList p = spec.split(QLatin1Char(':'));
        const QString path = dir.filePath(p[0]);
        if (p.size() > 1) {
            const QStringList wh = p[1].split(QLatin1Char('x'));
            writeItex(path, wh[0].toInt(), wh[1].toInt(), p.value(2, QStringLiteral("1")).toInt(),
                      p.value(3, QStringLiteral("-1")).toInt());
        } else if (p[0].endsWith(QLatin1String(".txt"))) {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write("not an image");
        }
        paths << path;
    }
    return paths;
}

// Entries of the projection list with the folder cut off.
QStringList listed(const SelectDataFiles* panel)
{
    QStringList names;
    for (const QString& e : panel->entries())
        names << QFileInfo(e).fileName();
    return names;
}

bool load(Body& b, const QStringList& files, bool clear = true)
{
    QSignalSpy done(&b, &Body::finishedLoadingCTFiles);
    b.dataFilesSelected(files, clear);
    return done.wait(20000);
}

// The raw image shown in its (popped-out) window, ready for the mouse.
DispB* shownRawFrame(Body& b)
{
    QWidget* w = b.imgsPopDocBase()->popWindow();
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        return nullptr;
    b.imgsTab()->setCurrentIndex(0);
    QApplication::processEvents();
    return b.rawDisplay()->dispB();
}

// A gesture with image coordinates: "p10,20s r10,20s" is turned into
// the frame pixels showing image points (10.25, 20.25) and so on.
QString framePoints(const Body& b, const QString& script)
{
    const ChCoord* c = b.rawDisplay()->coord();
    static const QRegularExpression xy(QStringLiteral("(-?\\d+),(-?\\d+)"));
    QString out = script;
    for (const QRegularExpressionMatch& m : xy.globalMatch(script)) {
        const QPoint p(int(c->r2sx(m.captured(1).toDouble() + 0.25)), int(c->r2sy(m.captured(2).toDouble() + 0.25)));
        out.replace(m.captured(0), QStringLiteral("%1,%2").arg(p.x()).arg(p.y()));
    }
    return out;
}

QList<CtResPanel*> resPanels(const Body& b)
{
    QList<CtResPanel*> list{b.ctCalcPanel()};
    for (CtCalc2Ui* p : b.workerPanels())
        list << p;
    return list;
}

// The calculation and display regions every panel agrees on, in whole
// pixels; empty when they differ.
QString sharedRegions(const Body& b)
{
    QSet<QString> seen;
    for (const CtResPanel* p : resPanels(b)) {
        const CalcRegion c = p->calcRegion();
        const CalcRegion d = p->dispRegion();
        QStringList v;
        for (double e : {c.x0, c.z0, c.x1, c.z1, d.x0, d.z0, d.x1, d.z1})
            v << QString::number(std::floor(e));
        seen << v.mid(0, 4).join(QLatin1Char(',')) + QLatin1Char(' ') + v.mid(4).join(QLatin1Char(','));
    }
    return seen.size() == 1 ? *seen.begin() : QString();
}

} // namespace

void TstBody::loaderSkipsBadFiles_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("diagnostic");
    QTest::addColumn<int>("diagnostics");

    QTest::newRow("second of another size") << QStringList{"a.img:8x4", "b.img:6x4", "c.img:8x4"}
                                            << QStringList{"a.img", "c.img"} << "Mismatch image size" << 1;
    QTest::newRow("sequence, then single") << QStringList{"s.his:8x4:4", "e.img:8x4"}
                                           << QStringList{"s.his(0)", "s.his(1)", "s.his(2)", "s.his(3)", "e.img"}
                                           << "Mismatch image size" << 0;
    QTest::newRow("sequence cut short") << QStringList{"s.his:8x4:4:2", "e.img:8x4"}
                                        << QStringList{"s.his(0)", "s.his(1)", "e.img"} << "Frame " << 2;
    QTest::newRow("unknown type, missing file") << QStringList{"t.txt", "gone.img", "e.img:8x4"}
                                                << QStringList{"e.img"} << "Unknown file type" << 2;
    QTest::newRow("nothing readable") << QStringList{"gone.img"} << QStringList{} << "Unknown file type" << 1;
}

void TstBody::loaderSkipsBadFiles()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, entries);
    QFETCH(QString, diagnostic);
    QFETCH(int, diagnostics);
    QTemporaryDir dir;
    Body b(nullptr, 1);
    MessageCapture messages;
    QVERIFY(load(b, makeFiles(dir, files)));
    QCOMPARE(listed(b.ctFiles()), entries);
    QCOMPARE(b.imageSet()->count(), int(entries.size()));
    QCOMPARE(messages.count(diagnostic), diagnostics);
    QCOMPARE(b.seeker()->maximum(), std::max(0, int(entries.size()) - 1));
    QVERIFY(!b.isLoading());
}

void TstBody::newSetConditions_data()
{
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<bool>("keep");
    // slice-to, slice, CoR, region edge after the first and the second load
    QTest::addColumn<QList<double>>("first");
    QTest::addColumn<QList<double>>("second");

    // The second set is 1000 x 600: a clearing selection takes another size.
    QTest::newRow("vertical axis, kept") << true << true << QList<double>{1023, 512, 1024, 2047}
                                         << QList<double>{1023, 77, 33.5, 44};
    QTest::newRow("horizontal axis, kept") << false << true << QList<double>{2047, 1024, 512, 1023}
                                           << QList<double>{2047, 77, 33.5, 44};
    QTest::newRow("vertical axis, not kept") << true << false << QList<double>{1023, 512, 1024, 2047}
                                             << QList<double>{599, 300, 500, 999};
    QTest::newRow("horizontal axis, not kept") << false << false << QList<double>{2047, 1024, 512, 1023}
                                               << QList<double>{999, 500, 300, 599};
}

void TstBody::newSetConditions()
{
    QFETCH(bool, vertical);
    QFETCH(bool, keep);
    QFETCH(QList<double>, first);
    QFETCH(QList<double>, second);
    QTemporaryDir dir;
    Body b(nullptr, 2);
    ProcCtrl* p = b.procCtrlPanel();
    p->setRotAxIsV(vertical);
    b.ctFiles()->setKeepConditions(keep);
    const auto state = [&] {
        return QList<double>{double(p->sliceTo()), double(p->sliceNo()), p->cor(),
                             b.ctCalcPanel()->calcRegion().x1};
    };
    const auto regionsAre = [&](double r) {
        return sharedRegions(b) == QStringLiteral("0,0,%1,%1 0,0,%1,%1").arg(r);
    };

    QVERIFY(load(b, makeFiles(dir, {"a.img:2048x1024", "b.img:2048x1024"})));
    QCOMPARE(state(), first);
    QVERIFY(regionsAre(first[3]));
    QCOMPARE(p->dataSetImages(), 2);

    // The user's own choices before the next set.
    p->setSliceNo(77);
    p->setCor(33.5);
    b.cRUpdated(0, 0, 44, 44);
    b.dRUpdated(0, 0, 44, 44);
    QVERIFY(load(b, makeFiles(dir, {"c.img:1000x600", "d.img:1000x600", "e.img:1000x600"})));
    QCOMPARE(b.imageSet()->count(), 3);
    QCOMPARE(state(), second);
    QVERIFY(regionsAre(second[3]));
    QCOMPARE(p->dataSetImages(), 3);
}

void TstBody::loadAndRunWaitForEachOther_data()
{
    QTest::addColumn<bool>("calcDuringLoad");
    QTest::newRow("calc during a load starts when it ends") << true;
    QTest::newRow("load during a run waits for its end") << false;
}

void TstBody::loadAndRunWaitForEachOther()
{
    QFETCH(bool, calcDuringLoad);
    QTemporaryDir dir;
    Body b(nullptr, 1);
    b.procCtrlPanel()->setRotAxIsV(true);
    QStringList specs;
    for (int i = 0; i < 20; ++i)
        specs << QStringLiteral("p%1.img:64x16").arg(i, 2, 10, QLatin1Char('0'));
    const QStringList files = makeFiles(dir, specs);
    QSignalSpy loaded(&b, &Body::finishedLoadingCTFiles);
    QSignalSpy ended(&b, &Body::calcFinished);
    // The window is not frozen while files load, and says how far it is.
    int countAtTurn = -1;
    QString progressAtTurn;
    const auto lookInBetween = [&] {
        QTimer::singleShot(0, &b, [&] {
            countAtTurn = b.imageSet()->count();
            progressAtTurn = b.findChild<QLabel*>(QStringLiteral("LoadingMsg"))->text();
        });
    };

    if (calcDuringLoad) {
        b.dataFilesSelected(files, true);
        lookInBetween();
        b.toggleCalcCt();
        QVERIFY(b.isStartPending() && !b.isRunning());
        QVERIFY(loaded.wait(20000));
        QVERIFY(countAtTurn >= 0 && countAtTurn < 20);
        QVERIFY2(progressAtTurn.startsWith(QLatin1String("Loading ")) && progressAtTurn.endsWith(QLatin1String(" / 20")),
                 qPrintable(progressAtTurn));
        QVERIFY(b.isRunning() || ended.count() == 1);
        QVERIFY(ended.count() == 1 || ended.wait(20000));
        return;
    }
    QVERIFY(load(b, files.mid(0, 2)));
    // The first run: the worker reconstructs one slice.
    b.procCtrlPanel()->setCor(31.5);
    b.findChild<QAbstractButton*>(QStringLiteral("SelectCt2"))->click();
    b.toggleCalcCt();
    QVERIFY(b.isRunning());
    b.dataFilesSelected(files, true);
    QVERIFY(b.hasDeferredLoad() && !b.isLoading());
    QCOMPARE(b.imageSet()->count(), 2);
    QVERIFY(ended.wait(20000));
    QTRY_COMPARE(b.imageSet()->count(), 20);
    QTRY_VERIFY(!b.isLoading());
}

void TstBody::panelModes_data()
{
    QTest::addColumn<bool>("multi");
    QTest::addColumn<QString>("times");
    QTest::addColumn<bool>("addSecond");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("multi-times repeats the first file") << true << "4" << false
                                                        << QStringList{"a.img", "a.img", "a.img", "a.img"};
    QTest::newRow("multi-times of no number loads nothing") << true << "x" << false << QStringList{};
    QTest::newRow("add keeps the earlier images") << false << "180" << true
                                                  << QStringList{"a.img", "b.img", "c.img", "a.img", "b.img", "c.img"};
    QTest::newRow("new replaces them") << false << "180" << false << QStringList{"a.img", "b.img", "c.img"};
}

void TstBody::panelModes()
{
    QFETCH(bool, multi);
    QFETCH(QString, times);
    QFETCH(bool, addSecond);
    QFETCH(QStringList, entries);
    QTemporaryDir dir;
    Body b(nullptr, 1);
    SelectDataFiles* panel = b.ctFiles();
    const QStringList files = makeFiles(dir, {"a.img:8x4", "b.img:8x4", "c.img:8x4"});
    QSignalSpy loaded(&b, &Body::finishedLoadingCTFiles);
    panel->setMulti(multi);
    panel->findChild<QLineEdit*>(QStringLiteral("MultiTimes"))->setText(times);
    for (bool second : {false, true}) {
        panel->setNewOnLoad(!(second && addSecond));
        panel->handOver(files);
        QVERIFY(loaded.wait(20000));
    }
    QCOMPARE(listed(panel), entries);
    QCOMPARE(b.imageSet()->count(), int(entries.size()));

    // The auto-save selectors choose a place to save: the folder of the
    // chosen name is made, its base name becomes the name.
    for (SelectAFile* s : {b.imageSaveDirSelector(), b.dataSaveDirSelector()}) {
        const QString deep = dir.filePath(s->objectName() + QStringLiteral("/x/y"));
        s->fileSelected0(deep + QStringLiteral("/c.dat"));
        QVERIFY(QFileInfo(deep).isDir());
        QCOMPARE(s->filePath(), deep);
        QCOMPARE(s->name(), QStringLiteral("c"));
    }
}

void TstBody::i0FileByEnergy_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<double>("energy");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<int>("listedCount");

    QTest::newRow("tie goes to the earlier entry")
        << QStringList{"i0-7100eV-01.img", "i0-7110eV-01.img", "i0-7120eV-01.img"} << 7115.0 << "i0-7110eV-01.img" << 3;
    QTest::newRow("keV names, a name without energy left out")
        << QStringList{"i0-7.1keV-01.img", "i0-flat.img", "i0-7.12keV-01.img"} << 7119.0 << "i0-7.12keV-01.img" << 2;
}

void TstBody::i0FileByEnergy()
{
    QFETCH(QStringList, names);
    QFETCH(double, energy);
    QFETCH(QString, chosen);
    QFETCH(int, listedCount);
    QTemporaryDir dir;
    Body b(nullptr, 1);
    QStringList specs;
    for (const QString& n : names)
        specs << n + QStringLiteral(":8x4");
    MessageCapture messages;
    b.i0FileList()->handOver(makeFiles(dir, specs));
    QCOMPARE(b.i0FileList()->count(), listedCount);
    QCOMPARE(b.i0Energies().size(), listedCount);
    QCOMPARE(messages.count(QStringLiteral("No energy in I0 file name")), int(names.size()) - listedCount);

    b.setDataSetEnergy(energy);
    b.setI0FileFromList();
    QCOMPARE(QFileInfo(b.i0ImgSel()->filePath()).fileName(), chosen);
    // The image set's I0 is the panel's image, held in memory for the
    // workers that read it at the same time.
    const ImgData* i0 = b.imageSet()->i0();
    QVERIFY(i0 && i0 == b.i0ImgSel()->image() && i0->inMemory);
    // "Show Img" brings the I0 tab to the front.
    b.imgsTab()->setCurrentIndex(0);
    b.i0ImgSel()->findChild<QAbstractButton*>(QStringLiteral("ShowImg"))->click();
    QCOMPARE(b.imgsTab()->tabText(b.imgsTab()->currentIndex()), QStringLiteral("I0 Image"));
}

void TstBody::clicksOnRawImage_data()
{
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<int>("slice");
    QTest::addColumn<double>("cor");

    // Starting at slice 8 and CoR 16 (vertical) or 16 and 8 (horizontal).
    QTest::newRow("left click, vertical axis: slice = y") << true << "p20,5 r20,5" << 5 << 16.0;
    QTest::newRow("left click, horizontal axis: slice = x") << false << "p20,5 r20,5" << 20 << 8.0;
    QTest::newRow("right click, vertical axis: CoR = x") << true << "q20,5 r20,5" << 8 << 20.0;
    QTest::newRow("right click, horizontal axis: CoR = y") << false << "q20,5 r20,5" << 16 << 5.0;
    QTest::newRow("pan: no pick") << true << "p20,5 m10,2 r10,2" << 8 << 16.0;
    QTest::newRow("shift drag: no pick") << true << "p20,5s m10,2s r10,2s" << 8 << 16.0;
    QTest::newRow("ctrl click: nothing") << true << "p20,5c r20,5c" << 8 << 16.0;
}

void TstBody::clicksOnRawImage()
{
    QFETCH(bool, vertical);
    QFETCH(QString, gesture);
    QFETCH(int, slice);
    QFETCH(double, cor);
    QTemporaryDir dir;
    Body b(nullptr, 1);
    b.procCtrlPanel()->setRotAxIsV(vertical);
    QVERIFY(load(b, makeFiles(dir, {"a.img:32x16"})));
    DispB* frame = shownRawFrame(b);
    QVERIFY(frame && frame->width() > 64);
    ::gesture(frame, framePoints(b, gesture));
    QCOMPARE(b.procCtrlPanel()->sliceNo(), slice);
    QCOMPARE(std::floor(b.procCtrlPanel()->cor()), cor);

    // The overlay follows: the slice line in its own colour where the
    // slice lies on the screen.
    const ChCoord* c = b.rawDisplay()->coord();
    const QImage shot = renderOf(frame);
    int hits = 0;
    for (int d = -1; d <= 1; ++d) {
        const QPoint on = vertical ? QPoint(frame->width() / 3, int(c->r2sy(slice)) + d)
                                   : QPoint(int(c->r2sx(slice)) + d, frame->height() / 3);
        hits += shot.valid(on) && QColor(shot.pixel(on)) == QColor(255, 232, 232);
    }
    QCOMPARE(hits, 1);
}

void TstBody::selectionSetsRegions_data()
{
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<QString>("regions");
    QTest::newRow("vertical axis: extent in x") << true << "4,4,20,20 4,4,20,20";
    QTest::newRow("horizontal axis: extent in y") << false << "3,3,12,12 3,3,12,12";
}

void TstBody::selectionSetsRegions()
{
    QFETCH(bool, vertical);
    QFETCH(QString, regions);
    QTemporaryDir dir;
    Body b(nullptr, 2);
    b.procCtrlPanel()->setRotAxIsV(vertical);
    QVERIFY(load(b, makeFiles(dir, {"a.img:32x16"})));
    DispB* frame = shownRawFrame(b);
    QVERIFY(frame);
    // Shift + left from image point (4, 3) to (20, 12).
    ::gesture(frame, framePoints(b, QStringLiteral("p4,3s m20,12s r20,12s")));
    QVERIFY(b.rawDisplay()->isSelected());
    const auto repaint = [&] { renderOf(frame); };
    repaint();
    QCOMPARE(sharedRegions(b), regions);
    // Applied again at every repaint, over whatever was set meanwhile.
    b.cRUpdated(1, 1, 2, 2);
    repaint();
    QCOMPARE(sharedRegions(b), regions);

    // Cleared with Shift + right: repaints leave the regions alone.
    ::gesture(frame, framePoints(b, QStringLiteral("q8,8s r8,8s")));
    QVERIFY(!b.rawDisplay()->isSelected());
    b.cRUpdated(1, 1, 2, 2);
    b.dRUpdated(1, 1, 2, 2);
    repaint();
    QCOMPARE(sharedRegions(b), QStringLiteral("1,1,2,2 1,1,2,2"));
}

void TstBody::closeEndsEveryThread_data()
{
    QTest::addColumn<bool>("whileLoading");
    QTest::newRow("idle") << false;
    QTest::newRow("in the middle of a load") << true;
}

void TstBody::closeEndsEveryThread()
{
    QFETCH(bool, whileLoading);
    QTemporaryDir dir;
    auto b = std::make_unique<Body>(nullptr, 2);
    QSignalSpy finishing(b.get(), &Body::finishing);
    b->show();
    QVERIFY(QTest::qWaitForWindowExposed(b.get()));
    if (whileLoading) {
        QStringList specs;
        for (int i = 0; i < 30; ++i)
            specs << QStringLiteral("p%1.img:64x64").arg(i);
        b->dataFilesSelected(makeFiles(dir, specs), true);
        QTRY_VERIFY(b->imageSet()->count() > 0);
    }
    // Closing the image window alone docks the images and ends nothing.
    b->imgsPopDocBase()->popWindow()->close();
    QVERIFY(!b->imgsPopDocBase()->isPopped());
    QCOMPARE(finishing.count(), 0);

    const QList<QThread*> threads = b->ownThreads();
    QCOMPARE(threads.size(), 5); // image set, batch, saver, two workers
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

QTEST_MAIN(TstBody)
#include "tst_body.moc"
