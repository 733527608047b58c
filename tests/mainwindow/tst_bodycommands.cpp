#include "app/optiontable.h"
#include "control/batch.h"
#include "input/widgets/selectaimgfile.h"
#include "input/widgets/selectdatafiles.h"
#include "mainwindow/body.h"
#include "mainwindow/framing/seekctrl.h"
#include "recon/ctcalc2.h"
#include "recon/widgets/ctdisp.h"
#include "recon/widgets/procctrl.h"
#include "tests/support/controlfixtures.h"
#include "tests/support/testutil.h"

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>

namespace {

const int kProjections = 36;

QAbstractButton* button(Body& b, const char* name)
{
    return b.findChild<QAbstractButton*>(QLatin1String(name));
}

// Setup lines "name value" laid out as a saved setup file; "##" starts a section.
QString setupText(const QStringList& lines)
{
    QString out;
    for (const QString& l : lines)
        out += l.startsWith("##") ? "\n" + l + "\n\n" : QString("%1 %2\n").arg(l.section(' ', 0, 0), -25).arg(l.section(' ', 1));
    return out;
}

} // namespace

// The window's command executor fed as a batch feeds it (the real interpreter
// on its thread) and as a setup file does; setup files saved and loaded back.
class TstBodyCommands : public QObject
{
    Q_OBJECT
    QTemporaryDir tmp;
    QString dataDir; // a phantom set in a folder with a blank in its name
    int files = 0;

private slots:
    void initTestCase()
    {
        dataDir = tmp.filePath(QStringLiteral("my data"));
        QVERIFY(writePhantomFiles(dataDir, 64, 32, kProjections));
        setDataRoot(tmp.path());
    }

    // Before every row: CoR 7, horizontal axis, 720 images, CT1 with Auto Exec off, tab 0.
    void commands_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("probe");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("messages");
        QTest::newRow("seek beyond the last image") << "images_seek 100000" << "seek" << "719" << 0;
        QTest::newRow("negative seek") << "images_seek -3" << "seek" << "0" << 0;
        QTest::newRow("show_ct2 1: 3-D view") << "show_ct2 1" << "tab" << "6" << 0;
        QTest::newRow("show_ct2 beyond the tabs") << "show_ct2 2147483647" << "tab" << "0" << 0;
        QTest::newRow("calc_ct1 0 selects the workers") << "calc_ct1 0" << "engine" << "ct2 auto 0" << 0;
        QTest::newRow("auto exec selects the workers") << "ct_auto_exec 1" << "engine" << "ct2 auto 1" << 0;
        QTest::newRow("threads beyond the workers") << "ct_threads 999" << "threads" << "2" << 0;
        QTest::newRow("save path: the directory itself")
            << QString("auto_save_data_path \"%1\"").arg(tmp.filePath("a b/c")) << "dataPath" << tmp.filePath("a b/c") << 0;
        QTest::newRow("seq_exec_set without a data set") << "seq_exec_set" << "cor" << "7" << 1;
    }

    // Every command ends with exactly one check-end, known or not.
    void commands()
    {
        QFETCH(QString, line);
        QFETCH(QString, probe);
        QFETCH(QString, expected);
        QFETCH(int, messages);
        Body b(nullptr, 2);
        b.procCtrlPanel()->setCor(7);
        b.seeker()->setMaximum(719);
        QSignalSpy checkEnds(&b, &Body::callBatchCheckEnd);
        MessageCapture log;
        b.batchExCmd(BatchCmd::parse(line));
        QCOMPARE(state(b, probe), expected);
        QCOMPARE(checkEnds.count(), 1);
        QCOMPARE(log.lines().size(), messages);
    }

    // A window that loaded a setup file saves it again byte for byte; texts hold blanks.
    void setupRoundTrip()
    {
        const QString i0Dir = tmp.filePath("i0 set");
        QVERIFY(QDir().mkpath(i0Dir));
        writeTextFile(i0Dir + "/i0-7100eV-001.img", "x");
        const QString flat = '"' + dataDir + "/flat.img\"", out = tmp.path();
        const auto body = [&](const QString& seek) {
            return setupText({"images_new_on_load 0", "images_keep_setup 0", "images_multi 1 12", "images_seek " + seek,
                              "i0_load " + flat, "bg_load " + flat, "## CT Reconstruction setting",
                              "ct_proc_slice 17", "ct_angle_origin -12.5", "ct_dataset_range 360",
                              "ct_use_partial_data_set 1", "ct_dataset_using_images 20", "ct_dataset_start_image_no 3",
                              "ct_auto_exec 1", "ct_slice_from 4", "ct_slice_to 19", "ct_slice_step 5", "ct_threads 2",
                              "ct_cor 30.25", "ct_rot_ax_is_h 0", "ct_recorded_cor_1 4 30.5", "ct_recorded_cor_2 19 29.75",
                              "## CT Reconstruction calculation", "calc_ct1 0", "calc_show_res 1", "fix_color_scale 1",
                              "fix_color_min -0.25", "fix_color_max 1.5e-06", "auto_save_image 1",
                              "auto_save_image_path \"" + out + "/img out\"", "auto_save_image_name \"scan 1\"",
                              "auto_save_image_tag E7112", "auto_save_data 1", "auto_save_data_path \"" + out + "/dat out\"",
                              "auto_save_data_name ", "auto_save_data_tag \"E 7112\"", "auto_save_data_upper_limit 0.5",
                              "auto_save_data_lower_limit -0.125", "auto_save_data_offset \"1 2\"",
                              "auto_save_in_sub_folders 0", "auto_save_in_sub_folders_of_energy 1", "auto_save_data_tiff 1",
                              "auto_save_skip_existing 1",
                              "## Additional Settings for CT-XAFS", "add_inf_show 1", "add_inf_VKR_standard 1",
                              "seq_exec_dir \"/x y/z\"", "seq_exec_file_pattern *.his",
                              "seq_exec_select_i0 \"" + i0Dir + "\" *.img", "seq_exec_keep_range_on_new_set 1"});
        };
        const QString head = "### Fenu2 setup saving setup file\n\n## Original Images\n\n";
        const QString imagesLine = setupText({QString("#images_load \"%1\" *.img").arg(dataDir)});
        const auto savedBy = [&](Body& b, const QString& name) {
            b.saveSetup(tmp.filePath(name));
            QFile f(tmp.filePath(name));
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
        };
        MessageCapture quiet;
        Body b1(nullptr, 2);
        QVERIFY(runBatch(b1, QString("images_load \"%1\" proj-*.img").arg(dataDir)));
        b1.loadSetup(writeTextFile(tmp.filePath("a.cfg"), head + imagesLine + body("3")));
        QCOMPARE(savedBy(b1, "b.cfg"), head + imagesLine + body("3"));
        // The image list is not reloaded, so the seek control has nothing to show.
        Body b2(nullptr, 2);
        b2.loadSetup(tmp.filePath("b.cfg"));
        QCOMPARE(savedBy(b2, "c.cfg"), head + body("0"));
        QVERIFY(button(b2, "SelectCt2")->isChecked());
        QCOMPARE(b2.dataSaveDirSelector()->filePath(), tmp.filePath("dat out"));
    }

    // The range starts as 0 0 1; :ifng/:ifok follow the real executor's lastResultOk.
    void batchRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("range");
        QTest::newRow(":ifng after the last set, then reset by the command")
            << "seq_exec_next\n:ifng ct_slice_from 3\n:ifng ct_slice_to 4\n:ifok ct_slice_step 5" << "3 0 5";
        QString many;
        for (int i = 0; i < 100000; ++i)
            many += QString("ct_slice_to %1\n").arg(i);
        QTest::newRow("100 000 lines") << many << "0 99999 1";
    }

    void batchRules()
    {
        QFETCH(QString, text);
        QFETCH(QString, range);
        Body b(nullptr, 2);
        b.procCtrlPanel()->setSliceTo(0);
        MessageCapture quiet;
        QVERIFY(runBatch(b, text, 120000));
        QCOMPARE(state(b, "range"), range);
    }

    // A command's load holds the batch until the set is complete; a load of nothing holds nothing.
    void loadHoldsBatch_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("images");
        QTest::newRow("all projections") << "proj-*.img" << kProjections;
        QTest::newRow("no file matches") << "none-*.img" << 0;
    }

    void loadHoldsBatch()
    {
        QFETCH(QString, pattern);
        QFETCH(int, images);
        Body b(nullptr, 2);
        int runs = 0;
        connect(&b, &Body::calcFinished, this, [&] { ++runs; });
        MessageCapture quiet;
        QVERIFY(runBatch(b, QString("ct_rot_ax_is_h 0\nimages_load \"%1\" %2\nimages_seek 5\ncalc_ct2 1\ncalc_exec\n")
                                .arg(dataDir, pattern)));
        QCOMPARE(b.seeker()->value(), images ? 5 : 0);
        QCOMPARE(runs, 1);
        QCOMPARE(b.ctImages()->count(), images ? 1 : 0);
        CtCalc2* w = b.workers().first();
        int rows = -1;
        QMetaObject::invokeMethod(w, [&] { rows = w->sinogram().rows; }, Qt::BlockingQueuedConnection);
        QCOMPARE(rows, images);
    }

    // calc_exec during the user's run waits for it (a new batch loaded
    // meanwhile goes on at the same line: tst_batch).
    void calcExecDuringRun()
    {
        Body b(nullptr, 2);
        MessageCapture quiet;
        QVERIFY(runBatch(b, QString("ct_rot_ax_is_h 0\nimages_load \"%1\" proj-*.img\ncalc_ct2 1\nct_auto_exec 1\n"
                                    "ct_slice_from 0\nct_slice_to 31\n").arg(dataDir)));
        int runs = 0, ended = 0;
        QString rangeAtEnd;
        connect(&b, &Body::calcFinished, this, [&] {
            ++runs;
            rangeAtEnd = state(b, "range");
        });
        connect(b.batchInterpreter(), &Batch::batchRunEnded, this, [&] { ++ended; });
        // The worker is kept from its first slice until the batch waits.
        QSemaphore gate;
        const auto open = qScopeGuard([&] { gate.release(); }); // also when a check fails
        QMetaObject::invokeMethod(b.workers().first(), [&] { gate.acquire(); });
        b.toggleCalcCt();
        QVERIFY(b.isRunning());
        b.batchLoad(writeTextFile(tmp.filePath("run.bat"), "calc_exec\nct_slice_from 3\n"));
        b.batchExec();
        QTRY_VERIFY(b.isBatchCalcRunning());
        gate.release();
        QVERIFY(QTest::qWaitFor([&] { return ended > 0; }, 60000));
        QCOMPARE(runs, 1);
        QCOMPARE(rangeAtEnd, QStringLiteral("0 31 1"));
        QCOMPARE(state(b, "range"), QStringLiteral("3 31 1"));
        QCOMPARE(b.ctImages()->count(), 32);
    }

private:
    // Runs text as a batch in b until the batch run ends, in a loop of its own
    // (a sleeping wait helper would add its sleep to every line's hop).
    bool runBatch(Body& b, const QString& text, int ms = 60000)
    {
        QEventLoop loop;
        bool ended = false;
        connect(b.batchInterpreter(), &Batch::batchRunEnded, &loop, [&] {
            ended = true;
            loop.quit();
        });
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        b.batchLoad(writeTextFile(tmp.filePath(QStringLiteral("b%1.bat").arg(++files)), text));
        b.batchExec();
        loop.exec();
        return ended;
    }

    QString state(Body& b, const QString& probe)
    {
        ProcCtrl* p = b.procCtrlPanel();
        const QMap<QString, QString> all{
            {"cor", QString::number(p->cor())},
            {"tab", QString::number(b.imgsTab()->currentIndex())},
            {"seek", QString::number(b.seeker()->value())},
            {"engine", QString("%1 auto %2").arg(button(b, "SelectCt2")->isChecked() ? "ct2" : "ct1").arg(p->autoExec())},
            {"threads", QString::number(p->threads())},
            {"dataPath", b.dataSaveDirSelector()->filePath()},
            {"range", QString("%1 %2 %3").arg(p->sliceFrom()).arg(p->sliceTo()).arg(p->sliceStep())}};
        return all.value(probe, "unknown probe");
    }
};

QTEST_MAIN(TstBodyCommands)
#include "tst_bodycommands.moc"
