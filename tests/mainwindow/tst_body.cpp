#include "display/chcoord.h"
#include "display/dispb.h"
#include "display/rawdisp.h"
#include "input/imgdata.h"
#include "input/imgdatas.h"
#include "input/selectaimgfile.h"
#include "input/selectdatafiles.h"
#include "mainwindow/body.h"
#include "mainwindow/framing/popdockbase.h"
#include "mainwindow/framing/seekctrl.h"
#include "recon/procctrl.h"
#include "tests/display/mouseevents.h"
#include "tests/support/bodyfixtures.h"
#include "tests/support/testutil.h"
#include "tools/itexwriter.h"

#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

#include <memory>

// The main window as a user drives it: the loader with good and bad files,
// the conditions a new set brings, loads and runs waiting for each other,
// the file panels' modes, the CT-XAFS I0 choice, clicks and the selection
// on the raw image, and the end of the window with its threads.
class TstBody : public QObject
{
    Q_OBJECT

private slots:
    void loaderKeepsGoodFiles_data();
    void loaderKeepsGoodFiles();
    void newSetConditions_data();
    void newSetConditions();
    void loadAndRunWaitForEachOther_data();
    void loadAndRunWaitForEachOther();
    void i0FileByEnergy_data();
    void i0FileByEnergy();
    void clicksOnRawImage_data();
    void clicksOnRawImage();
    void selectionSetsRegions_data();
    void selectionSetsRegions();
    void closeEndsEveryThread();
};

namespace {

// "a.img:8x4" writes a 16-bit image, "s.his:8x4:4:2" a sequence whose
// header promises 4 frames and that holds 2, "t.txt" a file of no known
// type, "gone.img" nothing. Returns the paths in order.
QStringList makeFiles(const QTemporaryDir& dir, const QStringList& specs)
{
    QStringList paths;
    for (const QString& spec : specs) {
        const QStringList p = spec.split(QLatin1Char(':'));
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

QStringList fileNames(const QStringList& paths)
{
    QStringList names;
    for (const QString& p : paths)
        names << QFileInfo(p).fileName();
    return names;
}

bool load(Body& b, const QStringList& files, bool clear = true)
{
    QSignalSpy done(&b, &Body::finishedLoadingCTFiles);
    b.dataFilesSelected(files, clear);
    return done.wait(20000);
}

// The raw image shown in its popped-out window, ready for the mouse.
DispB* shownRawFrame(Body& b)
{
    b.imgsTab()->setCurrentIndex(0);
    return QTest::qWaitForWindowExposed(b.imgsPopDocBase()->popWindow()) ? b.rawDisplay()->dispB() : nullptr;
}

// A gesture with image coordinates: "p10,20s" presses at the frame pixel
// that shows image point (10.25, 20.25).
QString framePoints(const Body& b, QString script)
{
    const ChCoord* c = b.rawDisplay()->coord();
    static const QRegularExpression xy(QStringLiteral("(\\d+),(\\d+)"));
    for (const QRegularExpressionMatch& m : xy.globalMatch(QString(script)))
        script.replace(m.captured(0), QStringLiteral("%1,%2").arg(int(c->r2sx(m.captured(1).toDouble() + 0.25)))
                                          .arg(int(c->r2sy(m.captured(2).toDouble() + 0.25))));
    return script;
}

} // namespace

// Files handed over by the data-file panel as new, added ("add": handed
// over twice) or repeated ("multi N": the first file N times).
void TstBody::loaderKeepsGoodFiles_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("diagnostic");
    QTest::addColumn<int>("diagnostics");
    const QString size = QStringLiteral("Mismatch image size");
    const QStringList ab{"a.img:8x4", "b.img:8x4"};
    QTest::newRow("second of another size") << QStringList{"a.img:8x4", "b.img:6x4", "c.img:8x4"} << "new"
                                            << QStringList{"a.img", "c.img"} << size << 1;
    QTest::newRow("sequence, then single") << QStringList{"s.his:8x4:4", "e.img:8x4"} << "new"
                                           << QStringList{"s.his(0)", "s.his(1)", "s.his(2)", "s.his(3)", "e.img"}
                                           << size << 0;
    QTest::newRow("sequence cut short") << QStringList{"s.his:8x4:4:2", "e.img:8x4"} << "new"
                                        << QStringList{"s.his(0)", "s.his(1)", "e.img"} << "Frame " << 2;
    QTest::newRow("unknown type, missing file") << QStringList{"t.txt", "gone.img", "e.img:8x4"} << "new"
                                                << QStringList{"e.img"} << "Unknown file type" << 2;
    QTest::newRow("add keeps the earlier images") << ab << "add" << QStringList{"a.img", "b.img", "a.img", "b.img"}
                                                  << size << 0;
    QTest::newRow("multi repeats the first file") << ab << "multi 3" << QStringList(3, "a.img") << size << 0;
    QTest::newRow("multi of no number loads nothing") << ab << "multi x" << QStringList() << size << 0;
}

void TstBody::loaderKeepsGoodFiles()
{
    QFETCH(QStringList, files);
    QFETCH(QString, mode);
    QFETCH(QStringList, entries);
    QFETCH(QString, diagnostic);
    QFETCH(int, diagnostics);
    QTemporaryDir dir;
    Body b(nullptr, 1);
    SelectDataFiles* panel = b.ctFiles();
    panel->setMulti(mode.startsWith(QLatin1String("multi")));
    panel->findChild<QLineEdit*>(QStringLiteral("MultiTimes"))->setText(mode.section(QLatin1Char(' '), 1));
    panel->setNewOnLoad(mode != QLatin1String("add"));
    const QStringList paths = makeFiles(dir, files);
    QSignalSpy loaded(&b, &Body::finishedLoadingCTFiles);
    MessageCapture messages;
    for (int k = mode == QLatin1String("add") ? 2 : 1; k > 0; --k) {
        panel->handOver(paths);
        QVERIFY(loaded.wait(20000));
    }
    QCOMPARE(fileNames(panel->entries()), entries);
    QCOMPARE(b.imageSet()->count(), int(entries.size()));
    QCOMPARE(messages.count(diagnostic), diagnostics);
    QCOMPARE(b.seeker()->maximum(), std::max(0, int(entries.size()) - 1));
}

void TstBody::newSetConditions_data()
{
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<bool>("keep");
    // slice-to, slice, CoR and region edge after the first and the second
    // load; the second set is 1000 x 600, loaded by a clearing selection.
    QTest::addColumn<QList<double>>("first");
    QTest::addColumn<QList<double>>("second");

    const QList<double> v1{1023, 512, 1024, 2047}, h1{2047, 1024, 512, 1023};
    QTest::newRow("vertical axis, kept") << true << true << v1 << QList<double>{1023, 77, 33.5, 44};
    QTest::newRow("horizontal axis, kept") << false << true << h1 << QList<double>{2047, 77, 33.5, 44};
    QTest::newRow("vertical axis, not kept") << true << false << v1 << QList<double>{599, 300, 500, 999};
    QTest::newRow("horizontal axis, not kept") << false << false << h1 << QList<double>{999, 500, 300, 599};
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
        const double r = b.ctCalcPanel()->calcRegion().x1;
        return sharedRegions(b) == QStringLiteral("0,0,%1,%1 0,0,%1,%1").arg(r)
                   ? QList<double>{double(p->sliceTo()), double(p->sliceNo()), p->cor(), r}
                   : QList<double>{};
    };

    QVERIFY(load(b, makeFiles(dir, {"a.img:2048x1024", "b.img:2048x1024"})));
    QCOMPARE(state(), first);
    QCOMPARE(p->dataSetImages(), 2);
    // The user's own choices before the next set.
    p->setSliceNo(77);
    p->setCor(33.5);
    b.cRUpdated(0, 0, 44, 44);
    b.dRUpdated(0, 0, 44, 44);
    QVERIFY(load(b, makeFiles(dir, {"c.img:1000x600", "d.img:1000x600", "e.img:1000x600"})));
    QCOMPARE(state(), second);
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
    const QStringList files = makeFiles(dir, QStringList(20, QStringLiteral("p.img:64x16")));
    QSignalSpy ended(&b, &Body::calcFinished);
    if (calcDuringLoad) {
        b.dataFilesSelected(files, true);
        // The window is not frozen while files load, and says how far it is.
        QString progress;
        QTimer::singleShot(0, &b, [&] { progress = b.findChild<QLabel*>(QStringLiteral("LoadingMsg"))->text(); });
        b.toggleCalcCt();
        QVERIFY(b.isStartPending() && !b.isRunning());
        QTRY_VERIFY(!progress.isEmpty());
        QVERIFY2(QRegularExpression(QStringLiteral("^Loading 1?\\d / 20$")).match(progress).hasMatch(), qPrintable(progress));
    } else {
        QVERIFY(load(b, files.mid(0, 2)));
        b.procCtrlPanel()->setCor(31.5);
        b.findChild<QAbstractButton*>(QStringLiteral("SelectCt2"))->click();
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

void TstBody::i0FileByEnergy_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<double>("energy");
    QTest::addColumn<QString>("chosen");

    QTest::newRow("tie goes to the earlier entry")
        << QStringList{"i0-7100eV-01.img", "i0-7110eV-01.img", "i0-7120eV-01.img"} << 7115.0 << "i0-7110eV-01.img";
    QTest::newRow("keV names, a name without energy left out")
        << QStringList{"i0-7.1keV-01.img", "i0-flat.img", "i0-7.12keV-01.img"} << 7119.0 << "i0-7.12keV-01.img";
}

void TstBody::i0FileByEnergy()
{
    QFETCH(QStringList, names);
    QFETCH(double, energy);
    QFETCH(QString, chosen);
    QTemporaryDir dir;
    Body b(nullptr, 1);
    QStringList specs;
    for (const QString& n : names)
        specs << n + QStringLiteral(":8x4");
    MessageCapture messages;
    b.i0FileList()->handOver(makeFiles(dir, specs));
    const int withEnergy = int(names.size()) - messages.count(QStringLiteral("No energy in I0 file name"));
    QCOMPARE(b.i0FileList()->count(), withEnergy);

    b.setDataSetEnergy(energy);
    b.setI0FileFromList();
    QCOMPARE(QFileInfo(b.i0ImgSel()->filePath()).fileName(), chosen);
    // The image set's I0 is the panel's image, held in memory for the
    // workers that read it at the same time.
    const ImgData* i0 = b.imageSet()->i0();
    QVERIFY(i0 && i0 == b.i0ImgSel()->image() && i0->inMemory);
}

void TstBody::clicksOnRawImage_data()
{
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<int>("slice");
    QTest::addColumn<double>("cor");

    // A 32 x 16 image starts at slice 8 and CoR 16 (vertical axis), or at
    // slice 16 and CoR 8 (horizontal).
    QTest::newRow("left click, vertical axis: slice = y") << true << "p20,5 r20,5" << 5 << 16.0;
    QTest::newRow("left click, horizontal axis: slice = x") << false << "p20,5 r20,5" << 20 << 8.0;
    QTest::newRow("right click, vertical axis: CoR = x") << true << "q20,5 r20,5" << 8 << 20.0;
    QTest::newRow("right click, horizontal axis: CoR = y") << false << "q20,5 r20,5" << 16 << 5.0;
    QTest::newRow("pan: no pick") << true << "p20,5 m10,2 r10,2" << 8 << 16.0;
    QTest::newRow("shift drag: no pick") << true << "p20,5s m10,2s r10,2s" << 8 << 16.0;
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

    // The overlay follows: the slice line in its colour where the slice is.
    const QImage shot = renderOf(frame);
    const ChCoord* c = b.rawDisplay()->coord();
    int hits = 0;
    for (int d = -1; d <= 1; ++d)
        hits += QColor(vertical ? shot.pixel(frame->width() / 3, int(c->r2sy(slice)) + d)
                                : shot.pixel(int(c->r2sx(slice)) + d, frame->height() / 3)) == QColor(255, 232, 232);
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
    ::gesture(frame, framePoints(b, QStringLiteral("p4,3s m20,12s r20,12s")));
    QVERIFY(b.rawDisplay()->isSelected());
    renderOf(frame);
    QCOMPARE(sharedRegions(b), regions);
    // Applied again at every repaint, over whatever was set meanwhile.
    b.cRUpdated(1, 1, 2, 2);
    renderOf(frame);
    QCOMPARE(sharedRegions(b), regions);
    // Cleared with Shift + right: repaints leave the regions alone.
    ::gesture(frame, framePoints(b, QStringLiteral("q8,8s r8,8s")));
    b.cRUpdated(1, 1, 2, 2);
    b.dRUpdated(1, 1, 2, 2);
    renderOf(frame);
    QCOMPARE(sharedRegions(b), QStringLiteral("1,1,2,2 1,1,2,2"));
}

// Closed in the middle of a load.
void TstBody::closeEndsEveryThread()
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
