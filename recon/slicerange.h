// The slice range of a multi-slice (Auto Exec) run: which slices are handed
// out, in which order, and the share of the run that the progress read-out
// shows. Free of widgets so that the dispatcher's arithmetic is tested alone.
#pragma once

#include <QString>
#include <QtGlobal>

struct SliceRange {
    int from = 0;
    int to = 0;
    int step = 1; // points from `from` towards `to` (ProcCtrl::directedStep)

    // s lies between from and to, both included, whichever is larger. The
    // next slice is kept in 64 bits so that a range ending near the int
    // limits cannot wrap around into itself.
    bool contains(qint64 s) const;
    // Slices the range hands out.
    int count() const;

    // Progress after a hand-out round, in per cent with one decimal, at most
    // 100: next the slice to hand out next, busy the workers inside a slice.
    // A descending range counts its distances and step by their size, so it
    // runs from 0 to 100 % like an ascending one.
    double progressPercent(qint64 next, int busy) const;
    static QString progressText(double percent); // "12.5 %"
};
