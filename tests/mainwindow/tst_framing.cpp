#include "mainwindow/framing/closablebase.h"
#include "mainwindow/framing/popdockbase.h"
#include "mainwindow/framing/seekctrl.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QtTest>

class TstFraming : public QObject
{
    Q_OBJECT

private slots:
    void seekSteps_data();
    void seekSteps();
    void popAndDock_data();
    void popAndDock();
    void panelLifetime();
};

void TstFraming::seekSteps_data()
{
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("result");
    QTest::newRow("inc by ten") << 100 << 3 << true << 13;
    QTest::newRow("inc stops at the maximum") << 25 << 20 << true << 25;
    QTest::newRow("dec from exactly 10 to 0") << 100 << 10 << false << 0;
    QTest::newRow("dec from 7 to 0") << 100 << 7 << false << 0;
    QTest::newRow("empty list") << 0 << 0 << true << 0;
}

// Slider, spin box and buttons move together.
void TstFraming::seekSteps()
{
    QFETCH(int, maximum);
    QFETCH(int, start);
    QFETCH(bool, up);
    QFETCH(int, result);
    SeekCtrl s;
    s.setMaximum(maximum);
    s.setIndex(start);
    QSignalSpy spy(&s, &SeekCtrl::newIndex);
    s.findChild<QToolButton*>(QLatin1String(up ? "Inc" : "Dec"))->click();
    QCOMPARE(s.value(), result);
    QCOMPARE(s.findChild<QSlider*>(QStringLiteral("Seek"))->value(), result);
    // Repeats of the new index are allowed, no announcement without a change.
    QCOMPARE(spy.isEmpty(), result == start);
    for (const auto& args : spy)
        QCOMPARE(args.at(0).toInt(), result);
}

// Steps: b the Pop/Dock button, c the window's close button, 1 and 0
// setPopped(true/false), m moveToPopBase.
void TstFraming::popAndDock_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("popped");
    QTest::addColumn<bool>("windowShown");
    QTest::addColumn<QString>("announced"); // popped(f) arguments in order
    QTest::newRow("button pops") << "b" << true << true << "1";
    QTest::newRow("button again docks") << "bb" << false << false << "10";
    QTest::newRow("closing the window docks") << "1c" << false << false << "10";
    QTest::newRow("setPopped acts only on a change") << "011" << true << true << "1";
    QTest::newRow("moveToPopBase keeps the window hidden, docking too") << "m0" << false << false << "10";
}

void TstFraming::popAndDock()
{
    QFETCH(QString, steps);
    QFETCH(bool, popped);
    QFETCH(bool, windowShown);
    QFETCH(QString, announced);
    QWidget owner;
    auto* frame = new PopDockBase(&owner);
    auto* panel = new QLabel(QStringLiteral("panel"));
    frame->setContent(panel);
    QSignalSpy spy(frame, &PopDockBase::popped);
    for (const QChar step : steps) {
        switch (step.toLatin1()) {
        case 'b': frame->findChild<QPushButton*>(QStringLiteral("PopDock"))->click(); break;
        case 'c': QVERIFY(frame->popWindow()->close()); break;
        case 'm': frame->moveToPopBase(); break;
        default: frame->setPopped(step == QLatin1Char('1')); break;
        }
    }
    QCOMPARE(frame->isPopped(), popped);
    QCOMPARE(frame->popWindow()->isVisible(), windowShown);
    QCOMPARE(panel->parentWidget(), popped ? static_cast<QWidget*>(frame->popWindow()) : frame);
    QString seen;
    for (const auto& args : spy)
        seen += args.at(0).toBool() ? '1' : '0';
    QCOMPARE(seen, announced);
}

// A panel deleted by its owner first: the button only toggles the empty
// window.
void TstFraming::panelLifetime()
{
    PopDockBase frame;
    auto* gone = new QLabel;
    frame.setContent(gone);
    delete gone;
    QSignalSpy spy(&frame, &PopDockBase::popped);
    frame.popDock();
    QCOMPARE(frame.content(), nullptr);
    QVERIFY(frame.popWindow()->isVisible());
    QCOMPARE(spy.count(), 0);
}

QTEST_MAIN(TstFraming)
#include "tst_framing.moc"
