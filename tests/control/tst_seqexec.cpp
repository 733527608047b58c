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

class TstSeqExec : public QObject
{
    Q_OBJECT

private slots:
    void findsSets_data()
    {
        QTest::addColumn<bool>("vkr");
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("tags");
        QTest::addColumn<QVector<double>>("energies"); // NaN: unknown
        QTest::addColumn<QList<int>>("i0"); // the I0 chosen from i0Files, -1: kept

        QTest::newRow("standard naming groups by stem")
            << true << QStringList{"a-7112.0eV-001.img", "a-7112.0eV-002.img", "a-7120.0eV-001.img"}
            << QStringList{"1 : a (7112[eV], 2)", "2 :   (7120[eV], 1)"} << QStringList{"7112.0eV", "7120.0eV"}
            << QVector<double>{7112, 7120} << QList<int>{1, 2};
        QTest::newRow("keV, other names, no energy, pattern")
            << true
            << QStringList{"flat.img", "dark-1.img", "s-7_1125keV-1.img", "x-y-noenergy-1.img", "b-7200eV-1.his", "sub/"}
            << QStringList{"1 : s (7.1125[keV], 1)", "2 : x-y (0[], 1)"} << QStringList{"7_1125keV", "noenergy"}
            << QVector<double>{7.1125 * 1000, qQNaN()} << QList<int>{1, -1};
        QTest::newRow("no matching files") << true << QStringList{"a-7100eV-1.his", "d/"} << QStringList()
                                           << QStringList() << QVector<double>() << QList<int>();
        QTest::newRow("sub-directories by name, files ignored")
            << false << QStringList{"scanA/", "7120/", "7115/", "7112_5/", "z-7000eV-1.img"}
            << QStringList{"1 : 7112_5", "2 : 7115", "3 : 7120", "4 : scanA"}
            << QStringList{"7112_5", "7115", "7120", "scanA"} << QVector<double>{7112.5, 7115, 7120, qQNaN()}
            << QList<int>{1, 1, 2, -1}; // 7115: a tie, the earlier entry
        QTest::newRow("empty directory") << false << QStringList() << QStringList() << QStringList()
                                         << QVector<double>() << QList<int>();
    }

    void findsSets()
    {
        QFETCH(bool, vkr);
        QFETCH(QStringList, tree);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, tags);
        QFETCH(QVector<double>, energies);
        QFETCH(QList<int>, i0);
        QVector<double> i0Energies; // as the window reads its I0 list
        for (const char* name : {"i0-7100eV-0.img", "i0-7110eV-0.img", "i0-7120eV-0.img", "i0-7_130keV-0.img"})
            i0Energies << energyFromFileName(QString::fromLatin1(name));
        QTemporaryDir dir;
        makeTree(dir.path(), tree);
        DataSetList list;
        list.setIsVKRStandard(vkr);
        QSignalSpy sets(&list, &DataSetList::newSets);
        list.aDirSelected(dir.path());
        QCOMPARE(sets.value(0).value(0).toInt(), int(texts.size()));
        QCOMPARE(list.entryTexts(), texts);
        QCOMPARE(list.currentIndex(), texts.isEmpty() ? -1 : 0);
        MessageCapture cap;
        for (int i = 0; i < texts.size(); ++i) {
            list.setCurrentIndex(i);
            QCOMPARE(list.currentSetTag(), tags[i]);
            QCOMPARE(list.currentEnergyKnown(), !std::isnan(energies[i]));
            QCOMPARE(list.currentEnergy(), std::isnan(energies[i]) ? 0.0 : energies[i]);
            QCOMPARE(list.nearestI0Index(i0Energies), i0[i]);
        }
        QCOMPARE(cap.lines().size(), int(i0.count(-1)));
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
        QTest::addColumn<int>("sets");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("stopAtLoad");
        QTest::addColumn<QStringList>("loads"); // each reconstructed, except a load the stop falls into
        QTest::newRow("From 2 To 3 of five") << 5 << 2 << 3 << -1 << QStringList{"E2", "E3"};
        QTest::newRow("To beyond the list") << 5 << 4 << 9 << -1 << QStringList{"E4", "E5"};
        QTest::newRow("From after To: one set") << 5 << 3 << 2 << -1 << QStringList{"E3"};
        QTest::newRow("From beyond the list") << 5 << 6 << 7 << -1 << QStringList();
        QTest::newRow("empty list") << 0 << 1 << 0 << -1 << QStringList();
        QTest::newRow("stopped while loading") << 5 << 1 << 5 << 2 << QStringList{"E1", "E2"};
    }

    void sequence()
    {
        QFETCH(int, sets);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, stopAtLoad);
        QFETCH(QStringList, loads);
        QTemporaryDir dir;
        for (int k = 1; k <= sets; ++k)
            makeTree(dir.path(), {QStringLiteral("E%1/").arg(k)});
        DataSetList list;
        list.aDirSelected(dir.path());
        list.setRange(from, to);

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
        QCOMPARE(loaded, loads);
        QCOMPARE(calcRuns, int(loads.size()) - (stopAtLoad > 0 ? 1 : 0));
        QCOMPARE(finished, 1);
        QCOMPARE(messages.last(), QStringLiteral("Finished"));
        if (from == 2 && to == 3)
            QCOMPARE(messages, (QStringList{"Data Loading", "Loading first Data Set", "Calculating", "Finished Calc.",
                                            "Loading next Data Set", "Calculating", "Finished Calc.",
                                            "Loading next Data Set", "Finished"}));
    }
};
QTEST_GUILESS_MAIN(TstSeqExec)
#include "tst_seqexec.moc"
