// Fixtures of the main-window tests (header-only: they need the main window).
#pragma once

#include "mainwindow/body.h"
#include "mainwindow/framing/closablebase.h"
#include "recon/widgets/ctcalc.h"
#include "recon/widgets/ctcalc2ui.h"
#include "tests/support/controlfixtures.h"

#include <QAbstractButton>
#include <QSet>
#include <QtTest>

#include <cmath>

template <typename T>
T* child(QObject& o, const char* name)
{
    T* c = o.findChild<T*>(QLatin1String(name));
    if (!c)
        qFatal("no child %s", name);
    return c;
}

// "x0,z0,x1,z1 x0,z0,x1,z1" (calculation, display region), empty unless every panel agrees.
inline QString sharedRegions(const Body& b)
{
    QList<CtResPanel*> panels{b.ctCalcPanel()};
    for (CtCalc2Ui* p : b.workerPanels())
        panels << p;
    QSet<QString> seen;
    for (const CtResPanel* p : panels) {
        QStringList v;
        for (const CalcRegion& r : {p->calcRegion(), p->dispRegion()})
            v << QStringLiteral("%1,%2,%3,%4").arg(std::floor(r.x0)).arg(std::floor(r.z0)).arg(std::floor(r.x1)).arg(std::floor(r.z1));
        seen << v.join(QLatin1Char(' '));
    }
    return seen.size() == 1 ? *seen.begin() : QString();
}
