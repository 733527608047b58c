// Whole-file reads with a ceiling: a text file of settings or commands is
// small, and a file that holds far more (a data file picked by mistake, or
// a device such as /dev/zero that never ends) must not be read into memory.
#pragma once

#include <QByteArray>
#include <QtGlobal>

class QIODevice;

// Reads what is left of the open device. False, with out left empty, when
// it holds more than maxBytes.
bool readAtMost(QIODevice& device, qint64 maxBytes, QByteArray* out);
