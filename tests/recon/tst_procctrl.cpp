#include "recon/procctrl.h"
#include "tests/support/testutil.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMetaMethod>
#include <QtTest>

#include <climits>

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

// Signals exactly once per real change, or panels that mirror this one loop or go stale.

namespace {

template <typename T>
T* child(ProcCtrl& p, const char* name)
{
    T* w = p.findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

void typeInto(ProcCtrl& p, const QString& field, const QString& text)
{
    auto* e = child<QLineEdit>(p, field.toLatin1().constData());
    e->selectAll();
    QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Return);
}

// Calls a public slot by name with its one argument parsed from text.
void callSlot(ProcCtrl& p, const QString& slot, const QString& arg)
{
    const QMetaObject* mo = p.metaObject();
    const QByteArray name = slot.toLatin1();
    bool ok = false;
    if (const int d = mo->indexOfSlot(name + "(double)"); d >= 0)
        ok = mo->method(d).invoke(&p, Q_ARG(double, arg.toDouble()));
    else if (const int i = mo->indexOfSlot(name + "(int)"); i >= 0)
        ok = mo->method(i).invoke(&p, Q_ARG(int, arg.toInt()));
    else if (const int b = mo->indexOfSlot(name + "(bool)"); b >= 0)
        ok = mo->method(b).invoke(&p, Q_ARG(bool, arg == "1"));
    if (!ok)
        qFatal("cannot call %s", name.constData());
}

// Steps separated by ';': "type FIELD text", "click BUTTON", "call SLOT arg".
void perform(ProcCtrl& p, const QString& steps)
{
    for (const QString& step : steps.split(';', Qt::SkipEmptyParts)) {
        const QString s = step.trimmed();
        const QString verb = s.section(' ', 0, 0);
        const QString what = s.section(' ', 1, 1);
        const QString arg = s.section(' ', 2);
        if (verb == "type")
            typeInto(p, what, arg);
        else if (verb == "click")
            child<QAbstractButton>(p, what.toLatin1().constData())->click();
        else if (verb == "call")
            callSlot(p, what, arg);
        else
            qFatal("bad step %s", qPrintable(s));
    }
}

} // namespace

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

    // from, to, typed step, step taken; typed and not confirmed: these fields are read when needed.
    void stepFollowsTheDirection_data()
    {
        QTest::addColumn<QVector<int>>("c");
        QTest::newRow("downwards") << QVector<int>{100, 90, 5, -5};
        QTest::newRow("upwards with a negative step") << QVector<int>{90, 100, -5, 5};
        QTest::newRow("zero step would never end") << QVector<int>{10, 0, 0, -1};
        QTest::newRow("most negative int") << QVector<int>{0, 10, INT_MIN, INT_MAX};
    }

    void stepFollowsTheDirection()
    {
        QFETCH(QVector<int>, c);
        ProcCtrl p;
        const char* fields[] = {"SliceFrom", "SliceTo", "SliceStep"};
        for (int i = 0; i < 3; ++i)
            child<QLineEdit>(p, fields[i])->setText(QString::number(c[i]));
        QCOMPARE(p.procParams(false, true).step, c[3]);
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
        p.setRecordedCoR1(0, 998.5);
        p.setRecordedCoR2(2047, 1001.5);
        QVERIFY(p.procParams(false, true).hasCorLaw());
    }
};

QTEST_MAIN(TstProcCtrl)
#include "tst_procctrl.moc"
