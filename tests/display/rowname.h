// Table rows checked in one loop: a failed check names the row it was on.
#pragma once

#include <QtTest>

struct RowName {
    const char* name;
    ~RowName()
    {
        if (QTest::currentTestFailed())
            qWarning("   in row \"%s\"", name);
    }
};
