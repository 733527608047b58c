#include "recon/widgets/procctrl.h"
#include "tests/support/testutil.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMetaMethod>
#include <QtTest>


// Records the names of the panel's signals in the order they arrive.
class SignalLog : public QObject
{
    Q_OBJECT
public:
    explicit SignalLog(QObject* source)
    {
        const QMetaObject* mo = source->metaObject();
        const QMetaMethod hit = metaObject()->method(metaObject()->indexOfSlot("hit()"));
        for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
            if (mo->method(i).methodType() == QMetaMethod::Signal)
                connect(source, mo->method(i), this, hit);
    }
    QStringList names;
public slots:
    void hit() { names << QString::fromLatin1(sender()->metaObject()->method(senderSignalIndex()).name()); }
};

namespace {

template <typename T>
T* child(ProcCtrl& p, const QString& name)
{
    T* w = p.findChild<T*>(name);
    if (!w)
        qFatal("no widget %s", qPrintable(name));
    return w;
}

// Steps separated by ';': "type FIELD text", "click BUTTON", "call SLOT arg" (a double, int or bool slot).
void perform(ProcCtrl& p, const QString& steps)
{
    for (const QString& step : steps.split(';', Qt::SkipEmptyParts)) {
        const QString verb = step.section(' ', 0, 0, QString::SectionSkipEmpty);
        const QString what = step.section(' ', 1, 1, QString::SectionSkipEmpty);
        const QString arg = step.section(' ', 2, -1, QString::SectionSkipEmpty);
        if (verb == "type") {
            auto* e = child<QLineEdit>(p, what);
            e->selectAll();
            QTest::keyClicks(e, arg);
            QTest::keyClick(e, Qt::Key_Return);
        } else if (verb == "click") {
            child<QAbstractButton>(p, what)->click();
        } else {
            bool ok = false;
            for (const char* type : {"double", "int", "bool"}) {
                const int m = p.metaObject()->indexOfSlot(qPrintable(QStringLiteral("%1(%2)").arg(what, type)));
                QVariant v(arg);
                if (m >= 0 && v.convert(QMetaType::fromName(type)) && !ok)
                    ok = p.metaObject()->method(m).invoke(&p, QGenericArgument(type, v.constData()));
            }
            if (!ok)
                qFatal("cannot do %s", qPrintable(step));
        }
    }
}

} // namespace

// Signals exactly once per real change, or panels that mirror this one loop or go stale.
class TstProcCtrl : public QObject
{
    Q_OBJECT

private slots:
    void signalsOnlyOnRealChanges_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("signalNames");
        const QStringList none;
        QTest::newRow("setCor twice") << "call setCor 1000.5; call setCor 1000.5" << QStringList{"corUpdated"};
        QTest::newRow("typed slice, same number") << "type SliceNo 01000" << none;
        QTest::newRow("typed slice, not a number reads 0") << "type SliceNo abc" << QStringList{"sliceNoUpdated"};
        QTest::newRow("V clicked twice") << "click RotAxV; click RotAxV" << QStringList{"rotAxUpdated"};
        QTest::newRow("axis by command, changed")
            << "call setRotAxIsV 1; call setRotAxIsH 0; call setRotAxIsH 1" << QStringList{"rotAxUpdated", "rotAxUpdated"};
        QTest::newRow("angle origin set silently, then confirmed")
            << "call setAngleOriginDeg 3; type AngleOriginDeg 3" << QStringList{"angleOriginUpdated"};
        QTest::newRow("partial by command")
            << "call setUsePartialDataSet 0; call setUsePartialDataSet 1; call setUsePartialDataSet 1"
            << QStringList{"usePartialDataSetUpdated"};
        QTest::newRow("auto exec") << "call setAutoExec 0; click AutoExecCtCalc; call setAutoExec 0"
                                   << QStringList{"autoExecUpdated", "autoExecUpdated"};
        QTest::newRow("silent setters")
            << "call setSliceFrom 3; call setSliceTo 9; call setSliceStep 2; call setAngleOriginDeg 1; "
               "call setDataSetRangeDeg 360; call setDataSetImages 720; call setDataSetUsingImages 10; "
               "call setDataSetStartImageNo 4; call setThreads 2; call setMaxThreads 8; click RecCoR; click ClearRecCoR"
            << none;
    }

    void signalsOnlyOnRealChanges()
    {
        QFETCH(QString, steps);
        QFETCH(QStringList, signalNames);
        ProcCtrl p;
        SignalLog log(&p);
        perform(p, steps);
        QCOMPARE(log.names, signalNames);
    }

    // The recorded CoRs give the CoR law with the typed values, not the six digits shown.
    void recordedCoRs()
    {
        ProcCtrl p;
        perform(p, "type SliceNo 100; type CoR 1000.123456789; click RecCoR; type SliceNo 900; type CoR 1010.25; click RecCoR");
        const ProcParams s = p.procParams(false, true);
        QCOMPARE(QList<double>({double(s.recordedSlice1), s.recordedCor1, double(s.recordedSlice2)}),
                 QList<double>({900, 1010.25, 100}));
        QVERIFY(s.recordedCor2 == 1000.123456789 && s.hasCorLaw());
        child<QAbstractButton>(p, "ClearRecCoR")->click();
        QVERIFY(!p.procParams(false, true).hasCorLaw());
    }
};

QTEST_MAIN(TstProcCtrl)
#include "tst_procctrl.moc"
