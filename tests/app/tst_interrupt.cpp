#include "tests/support/testutil.h"
#include "tools/phantom.h"

#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>

// Ctrl+C or SIGTERM on a long window-less batch: the slices already begun
// must reach the disk whole, nothing new starts, and the exit status says
// that the run was cut short.
class TstInterrupt : public QObject
{
    Q_OBJECT

private slots:
    void interruptKeepsBegunSlices_data();
    void interruptKeepsBegunSlices();
};

namespace {

QString writeText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size() ? path : QString();
}

// Header lines, then one line per pixel of the region.
bool dataFileWhole(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> lines = f.readAll().split('\n');
    const QRegularExpression range("^# sx,sy, ex,ey   : (\\d+)\\t(\\d+)\\t(\\d+)\\t(\\d+)$");
    const QRegularExpressionMatch m = range.match(QString::fromLatin1(lines.value(5)));
    if (!m.hasMatch())
        return false;
    const qsizetype pixels = (m.captured(3).toInt() - m.captured(1).toInt() + 1)
                             * (m.captured(4).toInt() - m.captured(2).toInt() + 1);
    // The last line ends in a line break: split leaves one empty item.
    return lines.size() == 6 + pixels + 1 && lines.last().isEmpty();
}

} // namespace

void TstInterrupt::interruptKeepsBegunSlices_data()
{
    QTest::addColumn<int>("signo");
    QTest::newRow("Ctrl+C") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
}

void TstInterrupt::interruptKeepsBegunSlices()
{
    QFETCH(int, signo);
    QTemporaryDir dir;
    PhantomSpec ps;
    ps.width = 1024;
    ps.height = 64;
    ps.projections = 360;
    ps.cor = 511.5;
    PhantomOutput out;
    out.dir = dir.filePath("phantom");
    QVERIFY(!writePhantomDataSet(Phantom(ps), out).isEmpty());
    const int slices = 64;
    const QString batch = writeText(dir.filePath("run.bat"),
                                        "ct_rot_ax_is_h 0\nct_cor 511.5\n"
                                        "images_load phantom proj-*.img\n"
                                        "i0_load phantom/flat.img\n"
                                        "bg_load phantom/dark.img\n"
                                        "calc_ct2 1\nct_auto_exec 1\nct_threads 64\n"
                                        "ct_slice_from 0\nct_slice_to 63\nct_slice_step 1\n"
                                        "auto_save_in_sub_folders 0\n"
                                        "auto_save_data 1\nauto_save_data_path out\nauto_save_data_tag t\n"
                                        "auto_save_image 1\nauto_save_image_path out\nauto_save_image_tag t\n"
                                        "calc_exec\n"
                                        ":echo still going\n");
    QVERIFY(!batch.isEmpty());

    QProcess p;
    p.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    p.setProcessEnvironment(env);
    p.start(FENU2_EXE, {"-nw", "-e", "-b", batch, "-x"});
    QVERIFY(p.waitForStarted());
    QByteArray console;
    QVERIFY(QTest::qWaitFor([&] {
        console += p.readAllStandardOutput();
        return console.contains(" done: ") || p.state() == QProcess::NotRunning;
    }, 120000));
    ::kill(pid_t(p.processId()), signo);
    QVERIFY2(p.waitForFinished(60000), "the interrupted run did not end");
    console += p.readAllStandardOutput();
    const QByteArray diagnostics = p.readAllStandardError();
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QVERIFY2(p.exitCode() == 128 + signo, console + diagnostics);
    QVERIFY(!diagnostics.contains(":echo still going"));

    // Exactly the slices reported done are on disk, each one whole.
    QStringList done;
    QRegularExpressionMatchIterator it =
        QRegularExpression("^Slice (\\d+) done: ", QRegularExpression::MultilineOption).globalMatch(QString::fromUtf8(console));
    while (it.hasNext())
        done << QString::asprintf("%05d", it.next().captured(1).toInt());
    QVERIFY(!done.isEmpty());
    QVERIFY2(done.size() < slices, "every slice ended before the interrupt: the test proves nothing");
    QVERIFY(console.contains(QString("Reconstruction run ended: %1 slices").arg(done.size()).toUtf8()));
    QStringList expected;
    for (const QString& s : done)
        expected << "t-" + s + ".dat" << "t-" + s + ".png";
    expected.sort();
    QStringList found = QDir(dir.filePath("out")).entryList(QDir::Files, QDir::Name);
    QCOMPARE(found, expected);
    for (const QString& f : found) {
        const QString path = dir.filePath("out/" + f);
        QVERIFY2(f.endsWith(".png") ? !QImage(path).isNull() : dataFileWhole(path), qPrintable(f));
    }
}

QTEST_GUILESS_MAIN(TstInterrupt)
#include "tst_interrupt.moc"
