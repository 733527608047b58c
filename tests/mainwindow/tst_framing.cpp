#include "mainwindow/framing/closablebase.h"
#include "mainwindow/framing/popdockbase.h"
#include "mainwindow/framing/seekctrl.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

class TstFraming : public QObject
{
    Q_OBJECT

private slots:
    void seekSteps_data();
    void seekSteps();
    void seekSliderAndSpinFollowEachOther();
    void popAndDock();
    void closingThePopWindowDocks();
    void setPoppedOnlyActsOnAChange();
    void dockAfterMoveToPopBase();
    void poppedPanelDiesWithTheFrame();
};

void TstFraming::seekSteps_data()
{
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("result");
    QTest::newRow("inc by ten") << 100 << 3 << true << 13;
    QTest::newRow("inc stops at the maximum") << 25 << 20 << true << 25;
    QTest::newRow("inc at the maximum") << 25 << 25 << true << 25;
    QTest::newRow("dec by ten") << 100 << 57 << false << 47;
    QTest::newRow("dec from 7 to 0") << 100 << 7 << false << 0;
    QTest::newRow("dec from exactly 10 to 0") << 100 << 10 << false << 0;
    QTest::newRow("dec at 0") << 100 << 0 << false << 0;
    QTest::newRow("empty list") << 0 << 0 << true << 0;
}

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
    auto* button = s.findChild<QToolButton*>(QLatin1String(up ? "Inc" : "Dec"));
    QVERIFY(button);
    button->click();
    QCOMPARE(s.value(), result);
    QCOMPARE(s.findChild<QSpinBox*>(QStringLiteral("Index"))->value(), result);
    if (result == start) {
        QCOMPARE(spy.count(), 0);
    } else {
        QVERIFY(spy.count() >= 1); // repeats of the same index are allowed
        for (const auto& args : spy)
            QCOMPARE(args.at(0).toInt(), result);
    }
}

void TstFraming::seekSliderAndSpinFollowEachOther()
{
    SeekCtrl s;
    s.setMaximum(50);
    auto* slider = s.findChild<QSlider*>(QStringLiteral("Seek"));
    auto* spin = s.findChild<QSpinBox*>(QStringLiteral("Index"));
    QSignalSpy spy(&s, &SeekCtrl::newIndex);
    slider->setSliderDown(true);
    slider->setSliderPosition(17); // a user drag: sliderMoved
    QCOMPARE(spin->value(), 17);
    QVERIFY(!spy.isEmpty());
    QCOMPARE(spy.last().at(0).toInt(), 17);
    spy.clear();
    spin->setValue(33);
    QCOMPARE(slider->value(), 33);
    QVERIFY(!spy.isEmpty());
    QCOMPARE(spy.last().at(0).toInt(), 33);
    spin->setValue(80); // beyond the maximum: clamped by the spin box
    QCOMPARE(s.value(), 50);
}

void TstFraming::popAndDock()
{
    QWidget owner;
    auto* frame = new PopDockBase(&owner);
    frame->setWindowTitle(QStringLiteral("Measured Raw Image"));
    auto* panel = new QLabel(QStringLiteral("panel"));
    frame->setContent(panel);
    QCOMPARE(panel->parentWidget(), frame);
    QSignalSpy popped(frame, &PopDockBase::popped);
    frame->findChild<QPushButton*>(QStringLiteral("PopDock"))->click();
    QVERIFY(frame->isPopped());
    QVERIFY(frame->popWindow()->isVisible());
    QCOMPARE(panel->parentWidget(), frame->popWindow());
    QCOMPARE(frame->popWindow()->windowTitle(), QStringLiteral("Measured Raw Image"));
    frame->popDock();
    QVERIFY(!frame->isPopped());
    QVERIFY(!frame->popWindow()->isVisible());
    QCOMPARE(panel->parentWidget(), frame);
    QCOMPARE(popped.count(), 2);
    QCOMPARE(popped.at(0).at(0).toBool(), true);
    QCOMPARE(popped.at(1).at(0).toBool(), false);
}

void TstFraming::closingThePopWindowDocks()
{
    PopDockBase frame;
    auto* panel = new QLabel;
    frame.setContent(panel);
    frame.setPopped(true);
    QSignalSpy popped(&frame, &PopDockBase::popped);
    QVERIFY(frame.popWindow()->close()); // the window's close button
    QVERIFY(!frame.isPopped());
    QCOMPARE(panel->parentWidget(), &frame);
    QCOMPARE(popped.count(), 1);
    QCOMPARE(popped.at(0).at(0).toBool(), false);
    // And it pops out again normally.
    frame.popDock();
    QVERIFY(frame.isPopped() && frame.popWindow()->isVisible());
}

void TstFraming::setPoppedOnlyActsOnAChange()
{
    PopDockBase frame;
    frame.setContent(new QLabel);
    QSignalSpy popped(&frame, &PopDockBase::popped);
    frame.setPopped(false);
    QCOMPARE(popped.count(), 0);
    frame.setPopped(true);
    frame.setPopped(true);
    QCOMPARE(popped.count(), 1);
    QVERIFY(frame.popWindow()->isVisible());
    // Without content the button only toggles the empty window.
    PopDockBase empty;
    QSignalSpy none(&empty, &PopDockBase::popped);
    empty.popDock();
    QVERIFY(empty.popWindow()->isVisible());
    QCOMPARE(none.count(), 0);
}

void TstFraming::dockAfterMoveToPopBase()
{
    PopDockBase frame;
    auto* panel = new QLabel;
    frame.setContent(panel);
    frame.moveToPopBase(); // into the window, which stays hidden
    QVERIFY(frame.isPopped());
    QVERIFY(!frame.popWindow()->isVisible());
    QCOMPARE(panel->parentWidget(), frame.popWindow());
    frame.setPopped(false);
    QVERIFY(!frame.isPopped());
    QVERIFY(!frame.popWindow()->isVisible()); // docking does not show the window
    QCOMPARE(panel->parentWidget(), &frame);
}

void TstFraming::poppedPanelDiesWithTheFrame()
{
    QPointer<QLabel> panel = new QLabel;
    {
        PopDockBase frame;
        frame.setContent(panel);
        frame.setPopped(true);
    }
    QVERIFY(panel.isNull());
    // A panel deleted by its owner first leaves the frame working.
    PopDockBase frame;
    auto* gone = new QLabel;
    frame.setContent(gone);
    delete gone;
    QSignalSpy popped(&frame, &PopDockBase::popped);
    frame.popDock();
    QCOMPARE(frame.content(), nullptr);
    QCOMPARE(popped.count(), 0);
}

QTEST_MAIN(TstFraming)
#include "tst_framing.moc"
