// Text fixtures of the start-up and control tests: configuration, batch and
// setup files.
#pragma once

#include <QString>

// Writes text to path, replacing the file. Returns path, or an empty string
// when the file could not be written.
QString writeTextFile(const QString& path, const QString& text);
