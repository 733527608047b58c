#include "app/optiontable.h"
#include "app/startup.h"
#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"
#include "tools/phantom.h"

#include <QImage>
#include <QtTest>

// Start-up as a user meets it: the program run as a process, and the plan
// with the translation decision in-process.
class TstStartup : public QObject
{
    Q_OBJECT

private slots:
    void windowlessRunEndsByItself_data();
    void windowlessRunEndsByItself();
    void batchRunSavesResults_data();
    void batchRunSavesResults();
    void plan_data();
    void plan();

private:
    QTemporaryDir tmp;
};

void TstStartup::windowlessRunEndsByItself_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("config with missing include and bad quotes")
        << "DataRoot \"/a b\nINCLUDE missing.cfg\nkey value\"\n" << QStringList{"-nw", "-e", "-c", "my.cfg"}
        << QStringList{"In a line [ \"/a b] item is started from quote but not ended by quote",
                       "Can't open config file : missing.cfg",
                       "In a line [ value\"] item is started from not quote but ended by quote"};
    QTest::newRow("-nw from the config file") << "-nw\n" << QStringList{"-e", "-config", "my.cfg"} << QStringList{};
    QTest::newRow("with -x and a missing batch") << QString() << QStringList{"-nw", "-e", "-b", "none.bat", "-x"}
                                                 << QStringList{"Can't open config file : config.cfg"};
}

void TstStartup::windowlessRunEndsByItself()
{
    QFETCH(QString, config);
    QFETCH(QStringList, args);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    if (!config.isEmpty())
        QVERIFY(!writeTextFile(dir.filePath("my.cfg"), config).isEmpty());
    // No display at all: the window-less run must not need one.
    qunsetenv("DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
    const ProcessResult r = runProcess(FENU2_EXE, args, dir.path(), 30000);
    QVERIFY2(r.finished, "fenu2 -nw did not end by itself");
    QCOMPARE(r.exitStatus, QProcess::NormalExit);
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = r.output.split('\n');
    int at = 0;
    for (const QString& want : expected) {
        while (at < lines.size() && lines.at(at) != want)
            ++at;
        QVERIFY2(at < lines.size(), qPrintable("missing or out of order: " + want + "\n" + r.output));
    }
}

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

// A batch run from the command line with no window reconstructs a phantom,
// saves every slice under its name and folder, reports each slice and the
// run on the console and ends by itself with every file whole. The first
// row runs the demo batch that ships with the program.
void TstStartup::batchRunSavesResults_data()
{
    QTest::addColumn<QString>("batch"); // empty: resources/demo.bat
    QTest::addColumn<bool>("his");
    QTest::addColumn<QStringList>("files");
    QStringList demo;
    for (int s = 16; s <= 128; s += 16)
        demo << QString("results/data/phantom-%1.dat").arg(s, 5, 10, QChar('0'))
             << QString("results/img/phantom-%1.png").arg(s, 5, 10, QChar('0'));
    QTest::newRow("shipped demo batch") << QString() << false << demo;
    QStringList both;
    for (const char* s : {"00010", "00015", "00020"})
        both << QString("out/%1/scan-E7112-%1.dat").arg(s) << QString("out/E7112/scan-E7112-%1.dat").arg(s);
    QTest::newRow("sequence file, folders of energy and slice, descending")
        << QString("ct_rot_ax_is_h 0\nimages_load \"phantom\" *.his\ni0_load phantom/flat.img\n"
           "ct_auto_exec 1\nct_slice_from 20\nct_slice_to 10\nct_slice_step 5\n"
           "auto_save_in_sub_folders_of_energy 1\nauto_save_data 1\nauto_save_data_path out\n"
           "auto_save_data_name scan\nauto_save_data_tag E7112\ncalc_exec\n:stop\nct_cor 1\n")
        << true << both;
}

void TstStartup::batchRunSavesResults()
{
    QFETCH(QString, batch);
    QFETCH(bool, his);
    QFETCH(QStringList, files);
    QTemporaryDir dir;
    PhantomSpec spec;
    spec.width = his ? 64 : 512;
    spec.height = his ? 32 : 144;
    spec.projections = his ? 36 : 60;
    spec.cor = 0.5 * (spec.width - 1);
    PhantomOutput out;
    out.dir = dir.filePath("phantom");
    out.sequenceFile = his;
    QVERIFY(!writePhantomDataSet(Phantom(spec), out).isEmpty());
    const QString file = batch.isEmpty() ? QString(FENU2_SOURCE_DIR "/resources/demo.bat")
                                         : writeTextFile(dir.filePath("run.bat"), batch);
    qunsetenv("DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
    const ProcessResult r = runProcess(FENU2_EXE, {"-nw", "-e", "-b", file, "-x"}, dir.path(), 120000);
    QVERIFY2(r.finished, "the batch run did not end by itself");
    QCOMPARE(r.exitStatus, QProcess::NormalExit);
    QCOMPARE(r.exitCode, 0);

    QStringList found;
    QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = QDir(dir.path()).relativeFilePath(it.next());
        if (!rel.startsWith("phantom/") && !rel.endsWith(".bat"))
            found << rel;
    }
    found.sort();
    QStringList sorted = files;
    sorted.sort();
    QCOMPARE(found, sorted);
    for (const QString& f : files) {
        const QString path = dir.filePath(f);
        QVERIFY2(f.endsWith(".png") ? !QImage(path).isNull() : dataFileWhole(path), qPrintable(f));
    }
    const int slices = int(files.filter(".dat").size()) / (his ? 2 : 1);
    QCOMPARE(r.output.count(QRegularExpression("^Slice \\d+ done: ", QRegularExpression::MultilineOption)), slices);
    QVERIFY2(r.output.contains(QString("Reconstruction run ended: %1 slices").arg(slices)), qPrintable(r.output));
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
