// Fenu2: CT reconstruction workbench for the beamline.

#include "app/interrupt.h"
#include "app/optiontable.h"
#include "app/runfaults.h"
#include "app/startup.h"
#include "mainwindow/body.h"
#include "recon/runslices.h"
#include "recon/widgets/sinogram.h"

#include <QApplication>
#include <QDebug>
#include <QStyleFactory>
#include <QTimer>
#include <QTranslator>

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    // The configuration file is read before the application object exists so
    // that a window-less run (also "-nw" written in the file) can choose the
    // offscreen platform and run on a machine without a display.
    const StartupPlan plan = prepareStartup(options(), args);
    // A part run that reconstructs the wrong block would leave holes no one
    // sees; a bad value ends the program before anything starts.
    const std::optional<SlicePart> part = plan.partGiven ? SlicePart::parse(plan.part) : SlicePart{};
    if (!part) {
        qDebug().noquote() << QStringLiteral("Bad value of -part : \"%1\" (K/N with 0 <= K < N expected)").arg(plan.part);
        return kExitBadSwitch;
    }
    if ((plan.partGiven || plan.checkOnly) && !plan.noWindow) {
        qDebug().noquote() << "-part and -check work in window-less runs (-nw) only";
        return kExitBadSwitch;
    }
    if (plan.noWindow && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (plan.noWindow)
        quietPlatformNotices();

    QApplication app(argc, argv);
    QTranslator translator;
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    installTranslation(app, translator, plan);

    auto* body = new Body;
    QObject::connect(body, &Body::finishing, &app, &QApplication::quit);
    if (!plan.noWindow) {
        body->show();
        body->resize(1, 1);
    }
    body->setConsoleProgress(plan.noWindow);
    body->runScheduler()->setPart(*part);
    body->runScheduler()->setCheckOnly(plan.checkOnly);
    body->setBandWiseLoading(plan.noWindow);
    body->sinogramPanel()->setCheckImageDrawn(!plan.noWindow);
    body->setRunPicturesKept(!plan.noWindow);
    if (plan.loadBatch)
        body->batchLoad(plan.batchFile);
    // Nothing can close a window that is never shown: a window-less run ends
    // by itself, with a batch when its run is over and every result saved,
    // without one once start-up (and a batch load) is over.
    if (plan.noWindow && plan.execBatch)
        body->endWithBatchRun();
    if (plan.execBatch)
        body->batchExec();
    if (plan.noWindow && !plan.execBatch) {
        body->syncBatch();
        QTimer::singleShot(0, &app, &QApplication::quit);
    }

    // Ctrl+C of a window-less run keeps every result already begun.
    int interruptedBy = 0;
    InterruptWatcher* watcher = nullptr;
    if (plan.noWindow) {
        watcher = new InterruptWatcher(&app);
        QObject::connect(watcher, &InterruptWatcher::interrupted, body, [body, &interruptedBy](int signo) {
            interruptedBy = signo;
            body->interruptRun();
        });
    }

    const int rc = app.exec();
    const RunFaults faults = body->runFaults();
    delete body;
    delete watcher;
    if (!plan.noWindow)
        return rc;
    // The last line a script sees says what failed; the status says it too.
    const QString summary = faultSummary(faults);
    if (!summary.isEmpty())
        qDebug().noquote() << summary;
    if (interruptedBy)
        return 128 + interruptedBy;
    return rc != 0 ? rc : exitStatusOf(faults);
}
