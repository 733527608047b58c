#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"

#include <QImage>
#include <QtTest>

namespace {
QByteArray tiffHead(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(4) : QByteArray();
}
} // namespace

// The program run as a process without any display.
class TstStartup : public QObject
{
    Q_OBJECT

private slots:
    // Each row: config text, batch (a phantom run; "demo" is the shipped one),
    // arguments, console lines in order, files left behind.
    void windowlessRun_data()
    {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("last"); // the last console line, when it matters
        QTest::newRow("config with missing include and bad quotes")
            << "DataRoot \"/a b\nINCLUDE missing.cfg\nkey value\"\n" << QString() << QStringList{"-nw", "-e", "-c", "my.cfg"}
            << QStringList{"In a line [ \"/a b] item is started from quote but not ended by quote",
                           "Can't open config file : missing.cfg",
                           "In a line [ value\"] item is started from not quote but ended by quote"}
            << QStringList() << 0 << QString();
        QTest::newRow("-nw from the config file") << "-nw\n" << QString() << QStringList{"-e", "-config", "my.cfg"}
                                                  << QStringList() << QStringList() << 0 << QString();
        QTest::newRow("missing batch") << QString() << QString() << QStringList{"-nw", "-e", "-b", "none.bat", "-x"}
                                       << QStringList{"Can't open config file : config.cfg"} << QStringList() << 3
                                       << "Failed (status 3): batch file none.bat could not be read; result files written: 0";
        for (const char* bad : {"3/2", "-1/4", "a/b", "0/0"})
            QTest::newRow(qPrintable(QString("-part %1").arg(bad)))
                << QString() << QString() << QStringList{"-nw", "-e", "-part", bad} << QStringList() << QStringList() << 2
                << QString("Bad value of -part : \"%1\" (K/N with 0 <= K < N expected)").arg(bad);
        QTest::newRow("-part with a window") << QString() << QString() << QStringList{"-e", "-part", "0/2"} << QStringList()
                                             << QStringList() << 2 << "-part and -check work in window-less runs (-nw) only";
        QStringList demo, both;
        for (int s = 16; s <= 128; s += 16)
            demo << QString("results/data/phantom-%1.dat").arg(s, 5, 10, QChar('0'))
                 << QString("results/img/phantom-%1.png").arg(s, 5, 10, QChar('0'));
        QTest::newRow("shipped demo batch") << QString() << "demo" << QStringList{"-nw", "-e", "-b", "%B", "-x"}
                                            << QStringList{"Reconstruction run ended: 8 slices"} << demo << 0 << QString();
        for (const char* s : {"00010", "00015", "00020"})
            for (const char* ext : {"dat", "tif"})
                both << QString("out/%1/scan-E7112-%1.%2").arg(s, ext) << QString("out/E7112/scan-E7112-%1.%2").arg(s, ext);
        QTest::newRow("sequence file, folders of energy and slice, descending")
            << QString() << QString("ct_rot_ax_is_h 0\nimages_load \"phantom\" *.his\ni0_load phantom/flat.img\n"
                                    "ct_auto_exec 1\nct_slice_from 20\nct_slice_to 10\nct_slice_step 5\n"
                                    "auto_save_in_sub_folders_of_energy 1\nauto_save_data 1\nauto_save_data_tiff 1\nauto_save_data_path out\n"
                                    "auto_save_data_name scan\nauto_save_data_tag E7112\ncalc_exec\n:stop\nct_cor 1\n")
            << QStringList{"-nw", "-e", "-b", "%B", "-x"} << QStringList{"Reconstruction run ended: 3 slices"} << both << 0
            << QString();
        // Not even root may create anything under /proc.
        QTest::newRow("unwritable output folder")
            << QString() << QString("images_load phantom *.his\ni0_load phantom/flat.img\nct_auto_exec 1\nct_slice_from 10\n"
                                    "ct_slice_to 11\nauto_save_data 1\nauto_save_data_path /proc/self/out\n"
                                    "auto_save_image 1\nauto_save_image_path /proc/self/out\ncalc_exec\n")
            << QStringList{"-nw", "-e", "-b", "%B", "-x"}
            // The saver's lines and the run's end line come from two threads, in either order.
            << QStringList{"Can't create directory : /proc/self/out/00010 (-00010.png not saved)"}
            << QStringList() << 5 << "Failed (status 5): 4 of 4 result files could not be written";
        QTest::newRow("a load that finds no image, then a run")
            << QString() << QString("images_load phantom *.none\nct_auto_exec 1\nauto_save_data 1\nauto_save_data_path out\ncalc_exec\n")
            << QStringList{"-nw", "-e", "-b", "%B", "-x"}
            << QStringList{"No image loaded: the run reconstructs nothing", "Reconstruction run ended: "}
            << QStringList() << 4
            << "Failed (status 4): reconstruction runs without images: 1; result files written: 0";
    }

    void windowlessRun()
    {
        QFETCH(QString, config);
        QFETCH(QString, batch);
        QFETCH(QStringList, args);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, files);
        QFETCH(int, status);
        QFETCH(QString, last);
        QTemporaryDir dir;
        if (!config.isEmpty())
            QVERIFY(!writeTextFile(dir.filePath("my.cfg"), config).isEmpty());
        const bool his = batch.contains(".his");
        if (!batch.isEmpty()) {
            QVERIFY(writePhantomFiles(dir.filePath("phantom"), his ? 64 : 512, his ? 32 : 144, his ? 36 : 60, his));
            args.replaceInStrings("%B", batch == "demo" ? QString(FENU2_SOURCE_DIR "/resources/demo.bat")
                                                        : writeTextFile(dir.filePath("run.bat"), batch));
        }
        qunsetenv("DISPLAY");
        qunsetenv("QT_QPA_PLATFORM");
        // Qt's platform notices would show without these; the program hides them.
        qunsetenv("QT_LOGGING_RULES");
        qunsetenv("XDG_RUNTIME_DIR");
        const ProcessResult r = runProcess(FENU2_EXE, args, dir.path(), 120000);
        QVERIFY2(r.finished, "fenu2 -nw did not end by itself");
        QCOMPARE(r.exitStatus, QProcess::NormalExit);
        QVERIFY2(r.exitCode == status, qPrintable(r.output));
        QVERIFY2(!r.output.contains("propagateSizeHints") && !r.output.contains("XDG_RUNTIME_DIR"), qPrintable(r.output));
        const QStringList lines = r.output.split('\n');
        if (!last.isEmpty())
            QCOMPARE(r.output.trimmed().section('\n', -1), last);
        int at = 0;
        for (const QString& want : expected) {
            while (at < lines.size() && !lines.at(at).startsWith(want))
                ++at;
            QVERIFY2(at < lines.size(), qPrintable("missing or out of order: " + want + "\n" + r.output));
        }
        const int slices = int(files.filter(".dat").size()) / (his ? 2 : 1);
        if (status == 0)
            QCOMPARE(r.output.count(QRegularExpression("^Slice \\d+ done: ", QRegularExpression::MultilineOption)), slices);
        const QStringList found = filesUnder(dir.path()).filter(QRegularExpression("^(?!phantom/)(?!.*\\.(bat|cfg)$)"));
        files.sort();
        QCOMPARE(found, files);
        for (const QString& f : files)
            QVERIFY2(f.endsWith(".png")   ? !QImage(dir.filePath(f)).isNull()
                     : f.endsWith(".tif") ? tiffHead(dir.filePath(f)) == QByteArray("II*\0", 4)
                                          : dataFileWhole(dir.filePath(f)),
                     qPrintable(f));
    }
};

QTEST_GUILESS_MAIN(TstStartup)
#include "tst_startup.moc"
