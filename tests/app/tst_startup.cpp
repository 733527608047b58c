#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"

#include <QImage>
#include <QtTest>

namespace {
// Config text, batch (a phantom run; "demo" is the shipped one), arguments,
// console lines in order, files left behind, exit status, and the last
// console line when it matters.
struct Run {
    QString config, batch;
    QStringList args, expected, files;
    int status;
    QString last;
};

const QStringList kBatchArgs{"-nw", "-e", "-b", "%B", "-x"};
} // namespace

Q_DECLARE_METATYPE(Run)

// The program run as a process without any display.
class TstStartup : public QObject
{
    Q_OBJECT

private slots:
    void windowlessRun_data()
    {
        QTest::addColumn<Run>("run");
        // Configuration messages are tst_optiontable's and tst_linetokens'; here both switches.
        QTest::newRow("-nw from the config file (-c)")
            << Run{"-nw\n", {}, {"-e", "-c", "my.cfg"}, {}, {}, 0, {}};
        QTest::newRow("-nw from the config file (-config)")
            << Run{"-nw\n", {}, {"-e", "-config", "my.cfg"}, {}, {}, 0, {}};
        QTest::newRow("missing batch")
            << Run{{}, {}, {"-nw", "-e", "-b", "none.bat", "-x"}, {"Can't open config file : config.cfg"}, {}, 3,
                   "Failed (status 3): batch file none.bat could not be read; result files written: 0"};
        // Which texts are refused is tst_runslices' matter; here the status and the line.
        QTest::newRow("bad -part") << Run{{}, {}, {"-nw", "-e", "-part", "3/2"}, {}, {}, 2,
                                          "Bad value of -part : \"3/2\" (K/N with 0 <= K < N expected)"};
        QTest::newRow("-part with a window") << Run{{}, {}, {"-e", "-part", "0/2"}, {}, {}, 2,
                                                    "-part and -check work in window-less runs (-nw) only"};
        QStringList demo;
        for (int s = 16; s <= 128; s += 16)
            demo << QString("results/data/phantom-%1.dat").arg(s, 5, 10, QChar('0'))
                 << QString("results/img/phantom-%1.png").arg(s, 5, 10, QChar('0'));
        QTest::newRow("shipped demo batch")
            << Run{{}, "demo", kBatchArgs, {"Reconstruction run ended: 8 slices"}, demo, 0, {}};
        // Not even root may create anything under /proc. The saver's lines and
        // the run's end line come from two threads, in either order.
        QTest::newRow("unwritable output folder")
            << Run{{}, "images_load phantom *.his\ni0_load phantom/flat.img\nct_auto_exec 1\nct_slice_from 10\n"
                       "ct_slice_to 11\nauto_save_data 1\nauto_save_data_path /proc/self/out\n"
                       "auto_save_image 1\nauto_save_image_path /proc/self/out\ncalc_exec\n",
                   kBatchArgs, {"Can't create directory : /proc/self/out/00010 (-00010.png not saved)"}, {}, 5,
                   "Failed (status 5): 4 of 4 result files could not be written"};
        QTest::newRow("a load that finds no image, then a run")
            << Run{{}, "images_load phantom *.none\nct_auto_exec 1\nauto_save_data 1\nauto_save_data_path out\n"
                       "calc_exec\n",
                   kBatchArgs, {"No image loaded: the run reconstructs nothing", "Reconstruction run ended: "},
                   {}, 4, "Failed (status 4): reconstruction runs without images: 1; result files written: 0"};
    }

    void windowlessRun()
    {
        QFETCH(Run, run);
        QTemporaryDir dir;
        if (!run.config.isEmpty())
            QVERIFY(!writeTextFile(dir.filePath("my.cfg"), run.config).isEmpty());
        const bool his = run.batch.contains(".his");
        if (!run.batch.isEmpty()) {
            QVERIFY(writePhantomFiles(dir.filePath("phantom"), his ? 64 : 512, his ? 32 : 144, his ? 36 : 60, his));
            run.args.replaceInStrings("%B", run.batch == "demo" ? QString(FENU2_SOURCE_DIR "/resources/demo.bat")
                                                                : writeTextFile(dir.filePath("run.bat"), run.batch));
        }
        qunsetenv("DISPLAY");
        qunsetenv("QT_QPA_PLATFORM");
        // Qt's platform notices would show without these; the program hides them.
        qunsetenv("QT_LOGGING_RULES");
        qunsetenv("XDG_RUNTIME_DIR");
        const ProcessResult r = runProcess(FENU2_EXE, run.args, dir.path(), 120000);
        QVERIFY2(r.finished, "fenu2 -nw did not end by itself");
        QCOMPARE(r.exitStatus, QProcess::NormalExit);
        QVERIFY2(r.exitCode == run.status, qPrintable(r.output));
        QVERIFY2(!r.output.contains("propagateSizeHints") && !r.output.contains("XDG_RUNTIME_DIR"), qPrintable(r.output));
        const QStringList lines = r.output.split('\n');
        if (!run.last.isEmpty())
            QCOMPARE(r.output.trimmed().section('\n', -1), run.last);
        int at = 0;
        for (const QString& want : run.expected) {
            while (at < lines.size() && !lines.at(at).startsWith(want))
                ++at;
            QVERIFY2(at < lines.size(), qPrintable("missing or out of order: " + want + "\n" + r.output));
        }
        static const QRegularExpression doneLine("^Slice \\d+ done: ", QRegularExpression::MultilineOption);
        if (run.status == 0)
            QCOMPARE(r.output.count(doneLine), run.files.filter(".dat").size());
        const QStringList found = filesUnder(dir.path()).filter(QRegularExpression("^(?!phantom/)(?!.*\\.(bat|cfg)$)"));
        run.files.sort();
        QCOMPARE(found, run.files);
        for (const QString& f : run.files)
            QVERIFY2(f.endsWith(".png") ? !QImage(dir.filePath(f)).isNull() : dataFileWhole(dir.filePath(f)),
                     qPrintable(f));
    }
};

QTEST_GUILESS_MAIN(TstStartup)
#include "tst_startup.moc"
