// Fixtures of the start-up, control and main-window tests: text files,
// phantom sets on disk, and what a run left there.
#pragma once

#include <QStringList>

// Writes text to path, replacing the file. Returns path, or an empty string
// when the file could not be written.
QString writeTextFile(const QString& path, const QString& text);

// A phantom set (projections, flat, dark) of width x height, CoR in the middle.
bool writePhantomFiles(const QString& dir, int width, int height, int projections, bool sequenceFile = false);

// Every file below root, relative to it, sorted.
QStringList filesUnder(const QString& root);

// A saved data file holds its header and one line per pixel of the region
// the header gives: a file cut short is told apart.
bool dataFileWhole(const QString& path);
