#include "recon/runslices.h"

#include <QtTest>

class TstRunSlices : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed"); // "" when refused
        QTest::newRow("first of one") << "0/1" << "0/1";
        QTest::newRow("last of four") << "3/4" << "3/4";
        QTest::newRow("leading zeros") << "01/04" << "1/4";
        for (const char* bad : {"3/2", "4/4", "-1/4", "a/b", "0/0", "1/", "/2", " 1/2", "1/2 ", "1.0/2", "", "9999999999/2"})
            QTest::newRow(bad) << bad << "";
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, parsed);
        const std::optional<SlicePart> p = SlicePart::parse(text);
        QCOMPARE(p ? p->text() : QString(), parsed);
    }

    // Every split of every short list: the blocks follow each other without
    // gap or overlap, and their sizes differ by at most one.
    void blocksCoverTheList()
    {
        for (int total = 0; total <= 13; ++total) {
            for (int n = 1; n <= 7; ++n) {
                qint64 next = 0, smallest = total, largest = 0;
                for (int k = 0; k < n; ++k) {
                    const auto [b, e] = partBlock(total, SlicePart{k, n});
                    QCOMPARE(b, next);
                    next = e;
                    smallest = std::min(smallest, e - b);
                    largest = std::max(largest, e - b);
                }
                QCOMPARE(next, qint64(total));
                QVERIFY(largest - smallest <= 1);
            }
        }
    }

    // Row: from to step, engine, part; the part's slices "a..b/step" or "-".
    void runSlices_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("part");
        QTest::addColumn<QString>("expected");
        QTest::newRow("10 in 3, first") << "0 9 1 multi" << "0/3" << "0..2/1";
        QTest::newRow("10 in 3, last is larger") << "0 9 1 multi" << "2/3" << "6..9/1";
        QTest::newRow("descending, step 5") << "100 90 -5 multi" << "1/2" << "95..90/-5";
        QTest::newRow("step 3 keeps the grid") << "1 22 3 multi" << "1/2" << "13..22/3";
        QTest::newRow("more parts than slices: empty") << "4 5 1 multi" << "0/3" << "-";
        QTest::newRow("more parts than slices: one") << "4 5 1 multi" << "1/3" << "4..4/1";
        QTest::newRow("single slice, part 0") << "7 9 1 single" << "0/4" << "7..7/1";
        QTest::newRow("single slice, part 1") << "7 9 1 single" << "1/4" << "-";
        QTest::newRow("panel, part 0") << "7 9 1 panel" << "0/2" << "7..7/1";
        QTest::newRow("panel, part 1") << "7 9 1 panel" << "1/2" << "-";
    }

    void runSlices()
    {
        QFETCH(QString, setup);
        QFETCH(QString, part);
        QFETCH(QString, expected);
        const QStringList a = setup.split(' ');
        ProcParams p;
        p.from = p.slice = a[0].toInt();
        p.to = a[1].toInt();
        p.step = a[2].toInt();
        p.autoExec = a[3] == "multi";
        p.usePanel = a[3] == "panel";
        p.useWorkers = !p.usePanel;
        const std::optional<SliceRange> r = ::runSlices(p, *SlicePart::parse(part));
        QCOMPARE(r ? QString("%1..%2/%3").arg(r->from).arg(r->to).arg(r->step) : QString("-"), expected);
    }

    // The names the saver writes, in every folder it writes them to.
    void resultFiles_data()
    {
        QTest::addColumn<QString>("setup"); // img data tiff sub energy slice
        QTest::addColumn<QStringList>("files");
        QTest::newRow("nothing saved") << "0 0 0 1 0 1" << QStringList();
        QTest::newRow("defaults: slice folders") << "1 1 0 1 0 1" << QStringList{"D/00042/s-T-00042.dat", "I/00042/T-00042.png"};
        QTest::newRow("energy and slice, TIFF, no image")
            << "0 1 1 1 1 1"
            << QStringList{"D/T/s-T-00042.dat", "D/00042/s-T-00042.dat", "D/T/s-T-00042.tif", "D/00042/s-T-00042.tif"};
        QTest::newRow("no sub-folders") << "1 0 1 0 1 1" << QStringList{"I/T-00042.png"};
    }

    void resultFiles()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, files);
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        const QStringList f = setup.split(' ');
        ResultPlaces r;
        r.image = {f[0] == "1", "I", "", "T"};
        r.data = {f[1] == "1", "D", "s", "T", f[2] == "1"};
        r.inSubFolders = f[3] == "1";
        r.ofEnergy = f[4] == "1";
        r.ofSlice = f[5] == "1";
        QCOMPARE(resultFilesOf(42, r), files);
        // Missing until each is there; an empty file counts as there (the
        // saver renames only whole files into place).
        QCOMPARE(missingResultsOf(42, r), files);
        for (const QString& name : files) {
            QVERIFY(QDir().mkpath(QFileInfo(name).path()));
            QFile out(name);
            QVERIFY(out.open(QIODevice::WriteOnly));
        }
        QCOMPARE(missingResultsOf(42, r), QStringList());
        QCOMPARE(missingResultsOf(43, r), resultFilesOf(43, r));
    }
};

QTEST_GUILESS_MAIN(TstRunSlices)
#include "tst_runslices.moc"
