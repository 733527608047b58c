#include "app/optiontable.h"
#include "app/startup.h"
#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"
#include "tools/phantom.h"

#include <QDirIterator>

#include <QImage>
#include <QtTest>

// Start-up as a user meets it: the program run as a process, and the plan
// with the translation decision in-process.
static QStringList filesUnder(const QString& root)
{
    QStringList out;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}

class TstStartup : public QObject
{
    Q_OBJECT

private slots:
    void windowlessRun_data();
    void windowlessRun();
    void plan_data();
    void plan();

private:
    QTemporaryDir tmp;
};

namespace {

// The last line of a data file holds the last pixel of the region its
// header gives, so a file cut short by an early exit is told apart.
bool dataFileWhole(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
    QByteArray x1, y1;
    for (const QByteArray& l : lines.mid(0, 8)) {
        if (l.startsWith("# Range_X1"))
            x1 = l.split(':').value(1).trimmed();
        if (l.startsWith("# Range_Y1"))
            y1 = l.split(':').value(1).trimmed();
    }
    const QList<QByteArray> last = lines.last().split('\t');
    return !x1.isEmpty() && last.size() == 3 && last[0] == x1 && last[1] == y1;
}

} // namespace

// The program run as a process with no display at all: it must end by
// itself with exit code 0, after the expected console lines in order. A
// batch ("demo": the one shipped with the program) reconstructs a phantom
// set (a sequence file for .his rows), saves every slice whole under its
// name and folder and reports each slice and the run on the console.
void TstStartup::windowlessRun_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("batch");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("config with missing include and bad quotes")
        << "DataRoot \"/a b\nINCLUDE missing.cfg\nkey value\"\n" << QString() << QStringList{"-nw", "-e", "-c", "my.cfg"}
        << QStringList{"In a line [ \"/a b] item is started from quote but not ended by quote",
                       "Can't open config file : missing.cfg",
                       "In a line [ value\"] item is started from not quote but ended by quote"}
        << QStringList();
    QTest::newRow("-nw from the config file") << "-nw\n" << QString() << QStringList{"-e", "-config", "my.cfg"}
                                              << QStringList() << QStringList();
    QTest::newRow("missing batch") << QString() << QString() << QStringList{"-nw", "-e", "-b", "none.bat", "-x"}
                                   << QStringList{"Can't open config file : config.cfg"} << QStringList();
    QStringList demo;
    for (int s = 16; s <= 128; s += 16)
        demo << QString("results/data/phantom-%1.dat").arg(s, 5, 10, QChar('0'))
             << QString("results/img/phantom-%1.png").arg(s, 5, 10, QChar('0'));
    QTest::newRow("shipped demo batch") << QString() << "demo" << QStringList{"-nw", "-e", "-b", "%B", "-x"}
                                        << QStringList{"Reconstruction run ended: 8 slices"} << demo;
    QStringList both;
    for (const char* s : {"00010", "00015", "00020"})
        both << QString("out/%1/scan-E7112-%1.dat").arg(s) << QString("out/E7112/scan-E7112-%1.dat").arg(s);
    QTest::newRow("sequence file, folders of energy and slice, descending")
        << QString() << QString("ct_rot_ax_is_h 0\nimages_load \"phantom\" *.his\ni0_load phantom/flat.img\n"
                                "ct_auto_exec 1\nct_slice_from 20\nct_slice_to 10\nct_slice_step 5\n"
                                "auto_save_in_sub_folders_of_energy 1\nauto_save_data 1\nauto_save_data_path out\n"
                                "auto_save_data_name scan\nauto_save_data_tag E7112\ncalc_exec\n:stop\nct_cor 1\n")
        << QStringList{"-nw", "-e", "-b", "%B", "-x"} << QStringList{"Reconstruction run ended: 3 slices"} << both;
}

void TstStartup::windowlessRun()
{
    QFETCH(QString, config);
    QFETCH(QString, batch);
    QFETCH(QStringList, args);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, files);
    QTemporaryDir dir;
    if (!config.isEmpty())
        QVERIFY(!writeTextFile(dir.filePath("my.cfg"), config).isEmpty());
    const bool his = batch.contains(".his");
    if (!batch.isEmpty()) {
        PhantomSpec spec;
        spec.width = his ? 64 : 512;
        spec.height = his ? 32 : 144;
        spec.projections = his ? 36 : 60;
        spec.cor = 0.5 * (spec.width - 1);
        PhantomOutput out;
        out.dir = dir.filePath("phantom");
        out.sequenceFile = his;
        QVERIFY(!writePhantomDataSet(Phantom(spec), out).isEmpty());
        args.replaceInStrings("%B", batch == "demo" ? QString(FENU2_SOURCE_DIR "/resources/demo.bat")
                                                    : writeTextFile(dir.filePath("run.bat"), batch));
    }
    qunsetenv("DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
    const ProcessResult r = runProcess(FENU2_EXE, args, dir.path(), 120000);
    QVERIFY2(r.finished, "fenu2 -nw did not end by itself");
    QCOMPARE(r.exitStatus, QProcess::NormalExit);
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = r.output.split('\n');
    int at = 0;
    for (const QString& want : expected) {
        while (at < lines.size() && !lines.at(at).startsWith(want))
            ++at;
        QVERIFY2(at < lines.size(), qPrintable("missing or out of order: " + want + "\n" + r.output));
    }
    const int slices = int(files.filter(".dat").size()) / (his ? 2 : 1);
    QCOMPARE(r.output.count(QRegularExpression("^Slice \\d+ done: ", QRegularExpression::MultilineOption)), slices);
    QStringList found;
    for (const QString& f : filesUnder(dir.path()))
        if (!f.startsWith("phantom/") && !f.endsWith(".bat") && !f.endsWith(".cfg"))
            found << f;
    files.sort();
    QCOMPARE(found, files);
    for (const QString& f : files)
        QVERIFY2(f.endsWith(".png") ? !QImage(dir.filePath(f)).isNull() : dataFileWhole(dir.filePath(f)), qPrintable(f));
}

// Every row reads start.cfg through -config, which wins over -c whatever
// their order.
void TstStartup::plan_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("dataRoot");
    QTest::addColumn<bool>("noWindow");
    QTest::addColumn<bool>("english");
    QTest::newRow("later DataRoot wins") << "DataRoot /a\nDataRoot /b\n" << QStringList{} << "/b" << false << false;
    QTest::newRow("-d wins over file") << "DataRoot /a\n" << QStringList{"-d", "/x"} << "/x" << false << false;
    QTest::newRow("lower-case key is not DataRoot") << "dataroot /a\n" << QStringList{} << "<home>" << false
                                                    << false;
    QTest::newRow("-nw and -e from the file") << "-nw\n-e\n" << QStringList{} << "<home>" << true << true;
    QTest::newRow("-e") << "" << QStringList{"-e"} << "<home>" << false << true;
}

void TstStartup::plan()
{
    QFETCH(QString, config);
    QFETCH(QStringList, args);
    QFETCH(QString, dataRoot);
    QFETCH(bool, noWindow);
    QFETCH(bool, english);
    const QString home = QDir::home().filePath("Data");
    const QString cfg = writeTextFile(tmp.filePath("start.cfg"), config);
    setDataRoot(home);
    OptionTable table;
    const StartupPlan plan = prepareStartup(table, QStringList{"fenu2", "-config", cfg, "-c", "/none.cfg"} + args);
    QCOMPARE(plan.configFile, cfg);
    QCOMPARE(::dataRoot(), dataRoot == "<home>" ? home : dataRoot);
    QCOMPARE(plan.noWindow, noWindow);
    QTranslator translator;
    QCOMPARE(installTranslation(*QCoreApplication::instance(), translator, plan), !english);
    // removeTranslator only succeeds for an installed translator; the
    // language is set only when the compiled-in catalogue was loaded.
    QCOMPARE(QCoreApplication::removeTranslator(&translator), !english);
    QCOMPARE(translator.language(), english ? QString() : QStringLiteral("ja_JP"));
}

QTEST_GUILESS_MAIN(TstStartup)
#include "tst_startup.moc"
