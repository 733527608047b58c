// Numbers in line edits: the text is the state. Written with 6 significant
// digits; a text that is not a number (a 32-bit integer for fieldInt)
// reads as 0.
#pragma once

#include <QString>

int fieldInt(const QString& text);
double fieldDouble(const QString& text);
QString doubleText(double v);
