#include "control/datasetlist.h"
#include "control/xafsbatch.h"
#include "input/xafsenergy.h"
#include "tests/support/testutil.h"

#include <QtTest>

#include <cmath>

// Entries ending in "/" are directories, the rest empty files.
static void makeTree(const QString& root, const QStringList& entries)
{
    for (const QString& e : entries)
        if (!(e.endsWith(QLatin1Char('/')) ? QDir(root).mkpath(e) : QFile(QDir(root).filePath(e)).open(QIODevice::WriteOnly)))
            QFAIL("can't make the test tree");
}

// A directory's sets: entry texts, tags, energies (NaN: unknown) and the I0
// chosen from the window's I0 list (-1: kept).
struct SetsRow {
    bool vkr;
    QStringList tree, texts, tags;
    QVector<double> energies;
    QList<int> i0;
};
// The driver's loads (each reconstructed, except a load the stop falls into).
struct SeqRow { int sets, from, to, stopAtLoad; QStringList loads; };
Q_DECLARE_METATYPE(SetsRow)
Q_DECLARE_METATYPE(SeqRow)

class TstSeqExec : public QObject
{
    Q_OBJECT

private slots:
    void findsSets_data()
    {
        QTest::addColumn<SetsRow>("r");
        QTest::newRow("standard naming groups by stem")
            << SetsRow{true, {"a-7112.0eV-001.img", "a-7112.0eV-002.img", "a-7120.0eV-001.img"},
                       {"1 : a (7112[eV], 2)", "2 :   (7120[eV], 1)"}, {"7112.0eV", "7120.0eV"}, {7112, 7120},
                       {1, 2}};
        QTest::newRow("keV, other names, no energy, pattern")
            << SetsRow{true,
                       {"flat.img", "dark-1.img", "s-7_1125keV-1.img", "x-y-noenergy-1.img", "b-7200eV-1.his", "sub/"},
                       {"1 : s (7.1125[keV], 1)", "2 : x-y (0[], 1)"}, {"7_1125keV", "noenergy"},
                       {7.1125 * 1000, qQNaN()}, {1, -1}};
        QTest::newRow("no matching files") << SetsRow{true, {"a-7100eV-1.his", "d/"}, {}, {}, {}, {}};
        QTest::newRow("sub-directories by name, files ignored")
            << SetsRow{false, {"scanA/", "7120/", "7115/", "7112_5/", "z-7000eV-1.img"},
                       {"1 : 7112_5", "2 : 7115", "3 : 7120", "4 : scanA"},
                       {"7112_5", "7115", "7120", "scanA"},
                       {7112.5, 7115, 7120, qQNaN()}, {1, 1, 2, -1}}; // 7115: a tie, the earlier entry
        QTest::newRow("empty directory") << SetsRow{false, {}, {}, {}, {}, {}};
    }

    void findsSets()
    {
        QFETCH(SetsRow, r);
        const QStringList& texts = r.texts;
        QVector<double> i0Energies; // as the window reads its I0 list
        for (const char* name : {"i0-7100eV-0.img", "i0-7110eV-0.img", "i0-7120eV-0.img", "i0-7_130keV-0.img"})
            i0Energies << energyFromFileName(QString::fromLatin1(name));
        QTemporaryDir dir;
        makeTree(dir.path(), r.tree);
        DataSetList list;
        list.setIsVKRStandard(r.vkr);
        QSignalSpy sets(&list, &DataSetList::newSets);
        list.aDirSelected(dir.path());
        QCOMPARE(sets.value(0).value(0).toInt(), int(texts.size()));
        QCOMPARE(list.entryTexts(), texts);
        QCOMPARE(list.currentIndex(), texts.isEmpty() ? -1 : 0);
        MessageCapture cap;
        for (int i = 0; i < texts.size(); ++i) {
            list.setCurrentIndex(i);
            QCOMPARE(list.currentSetTag(), r.tags[i]);
            QCOMPARE(list.currentEnergyKnown(), !std::isnan(r.energies[i]));
            QCOMPARE(list.currentEnergy(), std::isnan(r.energies[i]) ? 0.0 : r.energies[i]);
            QCOMPARE(list.nearestI0Index(i0Energies), r.i0[i]);
        }
        QCOMPARE(cap.lines().size(), int(r.i0.count(-1)));
    }

    // Stepping never selects; set() selects, or says at once that there is nothing.
    void stepAndSet()
    {
        QTemporaryDir dir;
        makeTree(dir.path(), {"a-7100eV-1.img", "a-7100eV-2.img", "E1/", "E2/"});
        DataSetList list;
        list.setPatternText(QStringLiteral(" *.img\t *.his "));
        QSignalSpy dirs(&list, &DataSetList::selected);
        QSignalSpy files(&list, &DataSetList::selectedFileInfoList);
        QSignalSpy none(&list, &DataSetList::noMoreSets);
        list.aDirSelected(dir.path() + QLatin1Char('/'));
        QVERIFY(list.stepNext());
        QVERIFY(!list.stepNext()); // seq_exec_next on the last set
        QCOMPARE(list.currentIndex(), 1);
        QCOMPARE(dirs.size(), 0);
        QVERIFY(list.set());
        QCOMPARE(dirs.first().at(0).toString(), QDir::toNativeSeparators(dir.path() + QStringLiteral("/E2")));
        QCOMPARE(dirs.first().at(1).toStringList(), (QStringList{"*.img", "*.his"}));

        list.setIsVKRStandard(true); // the same directory, found again
        QVERIFY(list.set());
        QCOMPARE(files.first().first().value<QFileInfoList>().size(), 2);

        list.aDirSelected(dir.filePath(QStringLiteral("E1")));
        QVERIFY(!list.set());
        QCOMPARE(none.size(), 1);
        QCOMPARE(dirs.size() + files.size(), 2);
    }

    void rangeOnNewSets()
    {
        QTemporaryDir dir;
        makeTree(dir.path(), {"five/1/", "five/2/", "five/3/", "five/4/", "five/5/", "two/1/", "two/2/"});
        for (bool keep : {false, true}) {
            DataSetList list;
            list.aDirSelected(dir.filePath(QStringLiteral("five")));
            QCOMPARE(QPoint(list.rangeFrom(), list.rangeTo()), QPoint(1, 5));
            list.setRange(2, 3);
            list.setKeepRangeOnNewSets(keep); // keepOnNewSet
            list.aDirSelected(dir.filePath(QStringLiteral("two")));
            QCOMPARE(QPoint(list.rangeFrom(), list.rangeTo()), keep ? QPoint(2, 3) : QPoint(1, 2));
        }
    }

    void sequence_data()
    {
        QTest::addColumn<SeqRow>("r");
        QTest::newRow("From 2 To 3 of five") << SeqRow{5, 2, 3, -1, {"E2", "E3"}};
        QTest::newRow("To beyond the list") << SeqRow{5, 4, 9, -1, {"E4", "E5"}};
        QTest::newRow("From after To: one set") << SeqRow{5, 3, 2, -1, {"E3"}};
        QTest::newRow("From beyond the list") << SeqRow{5, 6, 7, -1, {}};
        QTest::newRow("empty list") << SeqRow{0, 1, 0, -1, {}};
        QTest::newRow("stopped while loading") << SeqRow{5, 1, 5, 2, {"E1", "E2"}};
    }

    void sequence()
    {
        QFETCH(SeqRow, r);
        const int stopAtLoad = r.stopAtLoad;
        QTemporaryDir dir;
        for (int k = 1; k <= r.sets; ++k)
            makeTree(dir.path(), {QStringLiteral("E%1/").arg(k)});
        DataSetList list;
        list.aDirSelected(dir.path());
        list.setRange(r.from, r.to);

        // The main window's side as the driver sees it: loads and runs are
        // answered on a later turn of the event loop, as the loader and workers do.
        QThread thread;
        XafsBatch* driver = new XafsBatch;
        driver->moveToThread(&thread);
        connect(&thread, &QThread::finished, driver, &QObject::deleteLater);
        thread.start();
        QObject w;
        QStringList loaded, messages;
        int calcRuns = 0, finished = 0;
        auto later = [&](void (XafsBatch::*answer)()) {
            QTimer::singleShot(0, &w, [=] { QMetaObject::invokeMethod(driver, answer); });
        };
        connect(driver, &XafsBatch::setFirstImageSet, &w, [&] {
            messages << "Loading first Data Set";
            list.setFirstSet(list.rangeFrom() - 1);
        });
        connect(driver, &XafsBatch::setNextImageSet, &w, [&] {
            messages << "Loading next Data Set";
            list.setNextSet(list.rangeTo() - 1);
        });
        connect(&list, &DataSetList::selected, &w, [&](const QString& d) {
            loaded << QFileInfo(d).fileName();
            if (loaded.size() == stopAtLoad) // the sequence button pressed again
                QMetaObject::invokeMethod(driver, &XafsBatch::start);
            later(&XafsBatch::loadedDataSet);
        });
        connect(driver, &XafsBatch::execCalculation, &w, [&] { ++calcRuns; later(&XafsBatch::calcFinished); });
        connect(&list, &DataSetList::noMoreSets, driver, &XafsBatch::noMoreSets);
        connect(driver, &XafsBatch::stage, &w, [&](const QString& msg) { messages << msg; });
        connect(driver, &XafsBatch::finished, &w, [&] { ++finished; });
        // The driver's thread ends before the rest goes, also when a check fails.
        struct Join {
            QThread& t;
            ~Join() { t.quit(); t.wait(); }
        } join{thread};

        QMetaObject::invokeMethod(driver, &XafsBatch::start);
        QTRY_COMPARE_WITH_TIMEOUT(finished, 1, 5000);
        QTest::qWait(50); // a late answer of a stopped run must change nothing
        QCOMPARE(loaded, r.loads);
        QCOMPARE(calcRuns, int(r.loads.size()) - (stopAtLoad > 0 ? 1 : 0));
        QCOMPARE(finished, 1);
        QCOMPARE(messages.last(), QStringLiteral("Finished"));
        if (r.from == 2 && r.to == 3)
            QCOMPARE(messages, (QStringList{"Data Loading", "Loading first Data Set", "Calculating", "Finished Calc.",
                                            "Loading next Data Set", "Calculating", "Finished Calc.",
                                            "Loading next Data Set", "Finished"}));
    }
};
QTEST_GUILESS_MAIN(TstSeqExec)
#include "tst_seqexec.moc"
