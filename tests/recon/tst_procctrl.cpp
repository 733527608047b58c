#include "recon/procctrl.h"
#include "tests/support/testutil.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QSpinBox>
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
    void signalsInMocOrder();
    void defaults();
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
    if (text.isEmpty())
        QTest::keyClick(e, Qt::Key_Delete);
    else
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

void TstProcCtrl::signalsInMocOrder()
{
    ProcCtrl p;
    const QMetaObject* mo = p.metaObject();
    QStringList names;
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
        if (mo->method(i).methodType() == QMetaMethod::Signal)
            names << QString::fromLatin1(mo->method(i).name());
    QCOMPARE(names, QStringList({"usePartialDataSetUpdated", "autoUpdateUpdated", "autoExecUpdated", "rotAxUpdated",
                                 "sliceNoUpdated", "corUpdated", "angleOriginUpdated", "dataSetRangeUpdated",
                                 "dataSetUsingImagesUpdated", "dataSetStartImageNoUpdated", "askGenImage"}));
}

void TstProcCtrl::defaults()
{
    ProcCtrl p;
    QCOMPARE(p.windowTitle(), QString("CT Proc. Ctrl : "));
    const ProcParams s = p.procParams(true, false);
    QVERIFY(s.usePanel && !s.useWorkers && !s.rotAxIsV);
    QCOMPARE(s.slice, 1000);
    QCOMPARE(s.cor, 1000.0);
    QCOMPARE(s.angleOriginDeg, 0.0);
    QCOMPARE(s.dataSetRangeDeg, 180.0);
    QCOMPARE(s.dataSetImages, 0);
    QCOMPARE(s.usingImages, 0);
    QCOMPARE(s.startImage, 0);
    QVERIFY(!s.autoExec);
    QCOMPARE(s.from, 0);
    QCOMPARE(s.to, 2047);
    QCOMPARE(s.step, 1);
    QCOMPARE(s.recordedSlice1, -1);
    QCOMPARE(s.recordedSlice2, -1);
    QCOMPARE(s.upperLimit, 10.0);
    QCOMPARE(s.lowerLimit, -10.0);
    QCOMPARE(s.offset, 10.0);
    QCOMPARE(child<QLineEdit>(p, "DataSetUsingImages")->text(), QString("180"));
    QVERIFY(child<QWidget>(p, "UsePartialDataSetParams")->isHidden());
    QVERIFY(child<QAbstractButton>(p, "RotAxH")->isChecked());
    QVERIFY(child<QLineEdit>(p, "RecordedCoR1")->isReadOnly());
}

void TstProcCtrl::signalsOnlyOnRealChanges_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("signalNames");
    const QStringList none;
    QTest::newRow("setCor with the current value") << "call setCor 1000" << none;
    QTest::newRow("setCor twice") << "call setCor 1000.5; call setCor 1000.5" << QStringList{"corUpdated"};
    QTest::newRow("setSliceNo with the current value") << "call setSliceNo 1000" << none;
    QTest::newRow("setSliceNo back and forth")
        << "call setSliceNo 5; call setSliceNo 1000" << QStringList{"sliceNoUpdated", "sliceNoUpdated"};
    QTest::newRow("typed slice, same number") << "type SliceNo 01000" << none;
    QTest::newRow("typed slice, new number, confirmed twice")
        << "type SliceNo 12; type SliceNo 12" << QStringList{"sliceNoUpdated"};
    QTest::newRow("typed slice, not a number reads 0") << "type SliceNo abc" << QStringList{"sliceNoUpdated"};
    QTest::newRow("typed CoR, same value") << "type CoR 1000.0" << none;
    QTest::newRow("typed CoR, new value") << "type CoR 999.5" << QStringList{"corUpdated"};
    QTest::newRow("typed CoR, then set to the same") << "type CoR 999.5; call setCor 999.5" << QStringList{"corUpdated"};
    QTest::newRow("V clicked twice") << "click RotAxV; click RotAxV" << QStringList{"rotAxUpdated"};
    QTest::newRow("H clicked while H") << "click RotAxH" << none;
    QTest::newRow("axis by command, unchanged") << "call setRotAxIsH 1; call setRotAxIsV 0" << none;
    QTest::newRow("axis by command, changed")
        << "call setRotAxIsV 1; call setRotAxIsH 0; call setRotAxIsH 1" << QStringList{"rotAxUpdated", "rotAxUpdated"};
    QTest::newRow("angle origin, same value") << "type AngleOriginDeg 0.0" << none;
    QTest::newRow("angle origin, new value twice")
        << "type AngleOriginDeg 12.5; type AngleOriginDeg 12.5" << QStringList{"angleOriginUpdated"};
    QTest::newRow("angle origin set silently, then confirmed")
        << "call setAngleOriginDeg 3; type AngleOriginDeg 3" << QStringList{"angleOriginUpdated"};
    QTest::newRow("range") << "type DataSetRangeDeg 180; type DataSetRangeDeg 360" << QStringList{"dataSetRangeUpdated"};
    QTest::newRow("using images")
        << "type DataSetUsingImages 180; type DataSetUsingImages 90" << QStringList{"dataSetUsingImagesUpdated"};
    QTest::newRow("start image") << "type DataSetStartImageNo 5" << QStringList{"dataSetStartImageNoUpdated"};
    QTest::newRow("partial clicked") << "click UsePartialDataSet" << QStringList{"usePartialDataSetUpdated"};
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
    QTest::newRow("upwards with a negative step") << "90" << "100" << "-5" << 5;
    QTest::newRow("downwards with a negative step") << "100" << "90" << "-5" << -5;
    QTest::newRow("single slice") << "10" << "10" << "-3" << 3;
    QTest::newRow("zero step would never end") << "0" << "10" << "0" << 1;
    QTest::newRow("zero step downwards") << "10" << "0" << "0" << -1;
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
    const ProcParams s = p.procParams(false, true);
    QCOMPARE(s.from, from.toInt());
    QCOMPARE(s.to, to.toInt());
    QCOMPARE(s.step, snapshotStep);
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
    QCOMPARE(s.usePartialDataSet, partial);
    QCOMPARE(s.usingImages, usingImages);
    QCOMPARE(s.startImage, start);
    QCOMPARE(p.usingImages(), usingImages);
    QCOMPARE(p.startImage(), start);
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
    QCOMPARE(r1->text(), QString());
    perform(p, "type SliceNo 100; type CoR 1000.123456789; click RecCoR; type SliceNo 900; type CoR 1010.25; click RecCoR");
    QCOMPARE(p.recordedSlice1(), 900);
    QCOMPARE(p.recordedCoR1(), 1010.25);
    QCOMPARE(p.recordedSlice2(), 100);
    QVERIFY(p.recordedCoR2() == 1000.123456789); // the typed value, shown with six digits
    QCOMPARE(r1->text(), QString("1010.25 at 900"));
    QCOMPARE(r2->text(), QString("1000.12 at 100"));
    ProcParams s = p.procParams(false, true);
    QCOMPARE(s.recordedSlice1, 900);
    QCOMPARE(s.recordedCor1, 1010.25);
    QCOMPARE(s.recordedSlice2, 100);
    QVERIFY(s.recordedCor2 == 1000.123456789);

    child<QAbstractButton>(p, "ClearRecCoR")->click();
    QCOMPARE(r1->text(), QString());
    QCOMPARE(r2->text(), QString());
    s = p.procParams(false, true);
    QCOMPARE(s.recordedSlice1, -1);
    QCOMPARE(s.recordedSlice2, -1);
    QVERIFY(!s.hasCorLaw());

    // As the setup commands restore them.
    p.setRecordedCoR1(0, 998.5);
    p.setRecordedCoR2(2047, 1001.5);
    QCOMPARE(r1->text(), QString("998.5 at 0"));
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
    QTest::newRow("2") << 2 << 2 << 1;
    QTest::newRow("5") << 5 << 5 << 4;
    QTest::newRow("10") << 10 << 10 << 8;
    QTest::newRow("32") << 32 << 32 << 25;
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
    QTest::newRow("blanks around") << " 42 " << 42 << 42.0;
    QTest::newRow("plus sign") << "+7" << 7 << 7.0;
    QTest::newRow("negative") << "-3" << -3 << -3.0;
    QTest::newRow("largest int") << "2147483647" << 2147483647 << 2147483647.0;
    QTest::newRow("beyond 32 bits") << "2147483648" << 0 << 2147483648.0;
    QTest::newRow("fraction") << "12.5" << 0 << 12.5;
    QTest::newRow("exponent") << "1e3" << 0 << 1000.0;
    QTest::newRow("words") << "abc" << 0 << 0.0;
    QTest::newRow("empty") << "" << 0 << 0.0;
    QTest::newRow("hexadecimal") << "0x10" << 0 << 0.0;
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
    child<QLineEdit>(p, "AngleOriginDeg")->setText(text);
    child<QLineEdit>(p, "DataSetImages")->setText(text);
    QCOMPARE(p.sliceNo(), asInt);
    QCOMPARE(p.dataSetImages(), asInt);
    QCOMPARE(p.cor(), asDouble);
    QCOMPARE(p.angleOriginDeg(), asDouble);
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
    QTest::newRow("CoR whole") << "setCor" << "1024" << "CoR" << "1024";
    QTest::newRow("CoR large") << "setCor" << "1000000" << "CoR" << "1e+06";
    QTest::newRow("angle small") << "setAngleOriginDeg" << "0.0000001" << "AngleOriginDeg" << "1e-07";
    QTest::newRow("angle negative") << "setAngleOriginDeg" << "-90.25" << "AngleOriginDeg" << "-90.25";
    QTest::newRow("range") << "setDataSetRangeDeg" << "360" << "DataSetRangeDeg" << "360";
    QTest::newRow("slice") << "setSliceNo" << "-5" << "SliceNo" << "-5";
    QTest::newRow("from") << "setSliceFrom" << "123456" << "SliceFrom" << "123456";
    QTest::newRow("images") << "setDataSetImages" << "1440" << "DataSetImages" << "1440";
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
    QVERIFY(child<QLineEdit>(p, "RecordedCoR1")->text() != QString("1000.5 at 100"));
    QVERIFY(child<QLineEdit>(p, "RecordedCoR1")->text().contains("1000.5"));
    // Values stay what they were.
    QCOMPARE(child<QLineEdit>(p, "SliceNo")->text(), QString("1000"));
    QCOMPARE(child<QLabel>(p, "MaxThreads")->text(), QString("/8"));
    QCoreApplication::removeTranslator(&translator);
    QTRY_COMPARE(p.windowTitle(), QString("CT Proc. Ctrl : "));
    QCOMPARE(child<QLineEdit>(p, "RecordedCoR1")->text(), QString("1000.5 at 100"));
}

QTEST_MAIN(TstProcCtrl)
#include "tst_procctrl.moc"
