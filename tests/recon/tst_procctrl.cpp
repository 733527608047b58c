#include "recon/procctrl.h"
#include "tests/support/testutil.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QTranslator>
#include <QtTest>

#include <limits>

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

// The panel feeds every run and is driven by the setup commands; its
// signals must come exactly once per real change, or panels that mirror it
// loop or go stale.
class TstProcCtrl : public QObject
{
    Q_OBJECT

private slots:
    void signalsOnlyOnRealChanges_data();
    void signalsOnlyOnRealChanges();
    void stepFollowsTheDirection_data();
    void stepFollowsTheDirection();
    void partialDataSet_data();
    void partialDataSet();
    void recordedCoRs();
    void threadMaximum_data();
    void threadMaximum();
    void fieldText_data();
    void fieldText();
    void settersWriteSixSignificantDigits_data();
    void settersWriteSixSignificantDigits();
    void japanese();
};

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
    for (int i = 0; i < mo->methodCount(); ++i) {
        const QMetaMethod m = mo->method(i);
        if (QString::fromLatin1(m.name()) != slot || m.parameterCount() != 1)
            continue;
        bool ok = false;
        switch (m.parameterType(0)) {
        case QMetaType::Double: ok = m.invoke(&p, Q_ARG(double, arg.toDouble())); break;
        case QMetaType::Int: ok = m.invoke(&p, Q_ARG(int, arg.toInt())); break;
        case QMetaType::Bool: ok = m.invoke(&p, Q_ARG(bool, arg == "1")); break;
        default: break;
        }
        if (!ok)
            qFatal("cannot call %s", qPrintable(slot));
        return;
    }
    qFatal("no slot %s", qPrintable(slot));
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

void TstProcCtrl::signalsOnlyOnRealChanges_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("signalNames");
    const QStringList none;
    QTest::newRow("setCor with the current value") << "call setCor 1000" << none;
    QTest::newRow("setCor twice") << "call setCor 1000.5; call setCor 1000.5" << QStringList{"corUpdated"};
    QTest::newRow("typed slice, same number") << "type SliceNo 01000" << none;
    QTest::newRow("typed slice, not a number reads 0") << "type SliceNo abc" << QStringList{"sliceNoUpdated"};
    QTest::newRow("typed CoR, then set to the same") << "type CoR 999.5; call setCor 999.5" << QStringList{"corUpdated"};
    QTest::newRow("V clicked twice") << "click RotAxV; click RotAxV" << QStringList{"rotAxUpdated"};
    QTest::newRow("axis by command, unchanged") << "call setRotAxIsH 1; call setRotAxIsV 0" << none;
    QTest::newRow("axis by command, changed")
        << "call setRotAxIsV 1; call setRotAxIsH 0; call setRotAxIsH 1" << QStringList{"rotAxUpdated", "rotAxUpdated"};
    QTest::newRow("angle origin set silently, then confirmed")
        << "call setAngleOriginDeg 3; type AngleOriginDeg 3" << QStringList{"angleOriginUpdated"};
    QTest::newRow("using images")
        << "type DataSetUsingImages 180; type DataSetUsingImages 90" << QStringList{"dataSetUsingImagesUpdated"};
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

void TstProcCtrl::signalsOnlyOnRealChanges()
{
    QFETCH(QString, steps);
    QFETCH(QStringList, signalNames);
    ProcCtrl p;
    SignalLog log(&p);
    perform(p, steps);
    QCOMPARE(log.names, signalNames);
}

void TstProcCtrl::stepFollowsTheDirection_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("snapshotStep");
    QTest::newRow("downwards") << "100" << "90" << "5" << -5;
    QTest::newRow("downwards with a negative step") << "100" << "90" << "-5" << -5;
    QTest::newRow("zero step would never end") << "0" << "10" << "0" << 1;
    QTest::newRow("unreadable step") << "0" << "10" << "two" << 1;
    QTest::newRow("most negative int") << "0" << "10" << "-2147483648" << std::numeric_limits<int>::max();
}

void TstProcCtrl::stepFollowsTheDirection()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, step);
    QFETCH(int, snapshotStep);
    ProcCtrl p;
    // Typed and not confirmed: these fields are read when needed.
    child<QLineEdit>(p, "SliceFrom")->setText(from);
    child<QLineEdit>(p, "SliceTo")->setText(to);
    child<QLineEdit>(p, "SliceStep")->setText(step);
    QCOMPARE(p.procParams(false, true).step, snapshotStep);
}

void TstProcCtrl::partialDataSet_data()
{
    QTest::addColumn<bool>("partial");
    QTest::addColumn<int>("usingImages");
    QTest::addColumn<int>("start");
    QTest::newRow("off: all images from 0") << false << 720 << 0;
    QTest::newRow("on: the partial fields") << true << 90 << 30;
}

void TstProcCtrl::partialDataSet()
{
    QFETCH(bool, partial);
    QFETCH(int, usingImages);
    QFETCH(int, start);
    ProcCtrl p;
    p.setDataSetImages(720);
    p.setDataSetUsingImages(90);
    p.setDataSetStartImageNo(30);
    p.setUsePartialDataSet(partial);
    QCOMPARE(child<QWidget>(p, "UsePartialDataSetParams")->isHidden(), !partial);
    const ProcParams s = p.procParams(false, true);
    QCOMPARE(s.dataSetImages, 720);
    QCOMPARE(s.usingImages, usingImages);
    QCOMPARE(s.startImage, start);
    // Clicking "Partial" flips both the rule and the fields.
    child<QAbstractButton>(p, "UsePartialDataSet")->click();
    QCOMPARE(child<QWidget>(p, "UsePartialDataSetParams")->isHidden(), partial);
    QCOMPARE(p.procParams(false, true).usingImages, partial ? 720 : 90);
}

void TstProcCtrl::recordedCoRs()
{
    ProcCtrl p;
    auto* r1 = child<QLineEdit>(p, "RecordedCoR1");
    auto* r2 = child<QLineEdit>(p, "RecordedCoR2");
    perform(p, "type SliceNo 100; type CoR 1000.123456789; click RecCoR; type SliceNo 900; type CoR 1010.25; click RecCoR");
    QCOMPARE(r1->text(), QString("1010.25 at 900"));
    QCOMPARE(r2->text(), QString("1000.12 at 100"));
    ProcParams s = p.procParams(false, true);
    QCOMPARE(s.recordedSlice1, 900);
    QCOMPARE(s.recordedCor1, 1010.25);
    QCOMPARE(s.recordedSlice2, 100);
    QVERIFY(s.recordedCor2 == 1000.123456789); // the typed value, shown with six digits
    child<QAbstractButton>(p, "ClearRecCoR")->click();
    QCOMPARE(r1->text() + r2->text(), QString());
    QVERIFY(!p.procParams(false, true).hasCorLaw());
    // As the setup commands restore them.
    p.setRecordedCoR1(0, 998.5);
    p.setRecordedCoR2(2047, 1001.5);
    QCOMPARE(r2->text(), QString("1001.5 at 2047"));
    QVERIFY(p.procParams(false, true).hasCorLaw());
    p.setRecordedCoR2(-1, 5.0);
    QCOMPARE(r2->text(), QString());
}

void TstProcCtrl::threadMaximum_data()
{
    QTest::addColumn<int>("hardware");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("used");
    QTest::newRow("1") << 1 << 1 << 1; // 80 % is 0; at least one worker
    QTest::newRow("5") << 5 << 5 << 4;
    QTest::newRow("64") << 64 << 64 << 51;
    QTest::newRow("none reported") << 0 << 1 << 1;
}

void TstProcCtrl::threadMaximum()
{
    QFETCH(int, hardware);
    QFETCH(int, maximum);
    QFETCH(int, used);
    ProcCtrl p;
    p.setMaxThreads(hardware);
    QCOMPARE(p.maxThreads(), maximum);
    QCOMPARE(p.threads(), used);
    QCOMPARE(child<QLabel>(p, "MaxThreads")->text(), QString("/%1").arg(maximum));
    QCOMPARE(p.procParams(false, true).threads, used);
    p.setThreads(maximum + 5);
    QCOMPARE(p.threads(), maximum);
}

void TstProcCtrl::fieldText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("asInt");
    QTest::addColumn<double>("asDouble");
    QTest::newRow("integer") << "42" << 42 << 42.0;
    QTest::newRow("plus sign") << "+7" << 7 << 7.0;
    QTest::newRow("beyond 32 bits") << "2147483648" << 0 << 2147483648.0;
    QTest::newRow("fraction") << "12.5" << 0 << 12.5;
    QTest::newRow("words") << "abc" << 0 << 0.0;
    QTest::newRow("decimal comma") << "1,5" << 0 << 0.0;
}

void TstProcCtrl::fieldText()
{
    QFETCH(QString, text);
    QFETCH(int, asInt);
    QFETCH(double, asDouble);
    ProcCtrl p;
    child<QLineEdit>(p, "SliceNo")->setText(text);
    child<QLineEdit>(p, "CoR")->setText(text);
    const ProcParams s = p.procParams(false, true);
    QCOMPARE(s.slice, asInt);
    QCOMPARE(s.cor, asDouble);
}

void TstProcCtrl::settersWriteSixSignificantDigits_data()
{
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("CoR") << "setCor" << "1234.56789" << "CoR" << "1234.57";
    QTest::newRow("CoR large") << "setCor" << "1000000" << "CoR" << "1e+06";
    QTest::newRow("angle small") << "setAngleOriginDeg" << "0.0000001" << "AngleOriginDeg" << "1e-07";
}

void TstProcCtrl::settersWriteSixSignificantDigits()
{
    QFETCH(QString, slot);
    QFETCH(QString, value);
    QFETCH(QString, field);
    QFETCH(QString, text);
    ProcCtrl p;
    callSlot(p, slot, value);
    QCOMPARE(child<QLineEdit>(p, field.toLatin1().constData())->text(), text);
}

void TstProcCtrl::japanese()
{
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":Fenu2_ja_JP")));
    ProcCtrl p;
    p.setRecordedCoR1(100, 1000.5);
    p.setMaxThreads(8);
    QCoreApplication::installTranslator(&translator);
    QTRY_VERIFY(p.windowTitle() != QString("CT Proc. Ctrl : "));
    QVERIFY(child<QAbstractButton>(p, "AutoExecCtCalc")->text() != QString("Auto Exec"));
    const QString recorded = child<QLineEdit>(p, "RecordedCoR1")->text();
    QVERIFY(recorded != QString("1000.5 at 100") && recorded.contains("1000.5"));
    // Values stay what they were.
    QCOMPARE(child<QLabel>(p, "MaxThreads")->text(), QString("/8"));
    QCoreApplication::removeTranslator(&translator);
    QTRY_COMPARE(p.windowTitle(), QString("CT Proc. Ctrl : "));
    QCOMPARE(child<QLineEdit>(p, "RecordedCoR1")->text(), QString("1000.5 at 100"));
}

QTEST_MAIN(TstProcCtrl)
#include "tst_procctrl.moc"
