#include "mainwindow/framing/closablebase.h"
#include "mainwindow/framing/popdockbase.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

class TstFraming : public QObject
{
    Q_OBJECT

private slots:
    // Steps: b Pop/Dock button, c window closed, 1/0 setPopped, m moveToPopBase,
    // d the panel deleted by its owner. Result: popped, window shown, popped(f) announced.
    void popAndDock_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("result");
        QTest::newRow("button pops") << "b" << "1 1 1";
        QTest::newRow("button again docks") << "bb" << "0 0 10";
        QTest::newRow("closing the window docks") << "1c" << "0 0 10";
        QTest::newRow("setPopped acts only on a change") << "011" << "1 1 1";
        QTest::newRow("moveToPopBase keeps the window hidden, docking too") << "m0" << "0 0 10";
        QTest::newRow("panel gone: the button toggles the empty window") << "db" << "0 1 ";
    }

    void popAndDock()
    {
        QFETCH(QString, steps);
        QFETCH(QString, result);
        QWidget owner;
        auto* frame = new PopDockBase(&owner);
        QPointer<QLabel> panel = new QLabel(QStringLiteral("panel"));
        frame->setContent(panel);
        QSignalSpy spy(frame, &PopDockBase::popped);
        for (const QChar step : steps) {
            switch (step.toLatin1()) {
            case 'b': frame->findChild<QPushButton*>(QStringLiteral("PopDock"))->click(); break;
            case 'c': QVERIFY(frame->popWindow()->close()); break;
            case 'm': frame->moveToPopBase(); break;
            case 'd': delete panel; break;
            default: frame->setPopped(step == QLatin1Char('1')); break;
            }
        }
        QString seen = QString("%1 %2 ").arg(int(frame->isPopped())).arg(int(frame->popWindow()->isVisible()));
        for (const auto& args : spy)
            seen += args.at(0).toBool() ? '1' : '0';
        QCOMPARE(seen, result);
        QCOMPARE(frame->content(), static_cast<QWidget*>(panel.data()));
        if (panel)
            QCOMPARE(panel->parentWidget(), frame->isPopped() ? static_cast<QWidget*>(frame->popWindow()) : frame);
    }
};

QTEST_MAIN(TstFraming)
#include "tst_framing.moc"
