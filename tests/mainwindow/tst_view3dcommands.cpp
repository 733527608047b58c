// The 3-D view's batch commands in a real window-less run: the batch waits
// for the load, turns the view and saves the picture the ray caster gives.
#include "app/fieldtext.h"
#include "recon/ctimgdatafile.h"
#include "tests/support/controlfixtures.h"
#include "tests/support/itexfixture.h"
#include "tests/support/testutil.h"
#include "view3d/mipcaster.h"
#include "view3d/slicedatas.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

// Slice k of a ball whose values fall off from its centre, 24 x 20 pixels.
QByteArray ballSlice(int k)
{
    std::vector<double> m(24 * 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 24; ++x)
            m[std::size_t(y * 24 + x)] = 10.0 - std::hypot(x - 11.5, y - 9.5, 2.0 * (k - 2.5)) + 0.1 * x;
    return buildCtImgDataText({m.data(), 20, 24}, {0, 0, 24, 20}, {HUGE_VAL, -HUGE_VAL, 0});
}

// What the view shows after the commands: the first set's default look.
QImage expectedPicture(const QStringList& files, const Vec3& axis, double deg)
{
    SliceDatas datas;
    SliceStackPtr stack;
    QObject::connect(&datas, &SliceDatas::stackUpdated, [&](const SliceStackPtr& s) { stack = s; });
    datas.filesSelected(files);
    MipCaster c;
    c.width = 64;
    c.height = 48;
    c.view.turnAbout(axis, deg);
    MipSet set;
    set.stack = stack;
    // The range passes through its edits' six digits.
    set.setThresholds(fieldDouble(doubleText(stack->vmin)), fieldDouble(doubleText(stack->vmax)), 0, 100);
    set.csNormal = c.view.nz;
    c.sets.append(set);
    return c.render();
}

} // namespace

class TstView3dCommands : public QObject
{
    Q_OBJECT
private slots:
    // An oblique turn (a zero axis, which keeps the view, is tst_mipcaster's).
    void loadTurnSave()
    {
        QTemporaryDir dir;
        QStringList files;
        for (int k = 0; k < 6; ++k) {
            files << dir.filePath(QStringLiteral("s%1.dat").arg(k));
            QVERIFY(writeBytes(files.last(), ballSlice(k)));
        }
        QVERIFY(!writeTextFile(dir.filePath("other.txt"), "not a slice").isEmpty());
        const QString batch = writeTextFile(dir.filePath("view.bat"),
            QStringLiteral("show_3d_size 64 48\nshow_3d_load \"%1\" s*.dat\nshow_3d_view 1 1 0 30\n"
                           "show_3d_save out.png\nshow_3d_save out.xyz\n").arg(dir.path()));
        qunsetenv("DISPLAY");
        qunsetenv("QT_QPA_PLATFORM");
        const ProcessResult r = runProcess(FENU2_EXE, {"-nw", "-e", "-b", batch, "-x"}, dir.path(), 120000);
        QVERIFY2(r.finished, "fenu2 -nw did not end by itself");
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.output.contains("show_3d_save : not an image type, nothing saved : out.xyz"), qPrintable(r.output));
        QVERIFY(!QFile::exists(dir.filePath("out.xyz")));
        const QImage saved(dir.filePath("out.png"));
        QVERIFY2(!saved.isNull(), qPrintable(r.output));
        const QImage want = expectedPicture(files, Vec3{1, 1, 0}, 30.0);
        QVERIFY(want.pixel(32, 24) != qRgb(255, 255, 255));
        QCOMPARE(saved.convertToFormat(QImage::Format_ARGB32), want);
    }
};

QTEST_MAIN(TstView3dCommands)
#include "tst_view3dcommands.moc"
