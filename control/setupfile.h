// Setup files: the window's settings written as command lines that load
// back through the command executor (and can be pasted into a batch file).
#pragma once

#include "control/batchcmd.h"

#include <QList>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <QTextStream>

// Value texts of a saved command line.
QString setupFlagText(bool on);   // "1" or "0"
QString setupIntText(int value);  // decimal
QString setupRealText(double v);  // text-stream default: 6 significant digits
// The text as the field holds it, in double quotes when it holds a blank, a
// '#' or a quote, so that it reads back as one item (also after comment
// removal in a batch file). A text that itself holds a double quote cannot
// be protected (items have no escape) and is written bare; nor, in a batch
// file, one with both a single quote and a '#' (both quotes open and close
// the comment rule's quoting).
QString setupQuotedText(const QString& text);

// "<name padded to 25> <values...>" without the line break.
QString setupLine(const QString& name, const QStringList& values);

// The values "<absolute dir> *.<suffix>" that reload the files of the
// directory of file, as saved for a file list.
QStringList setupDirPatterns(const QString& file);

// Writes a setup file: header, sections, command lines. The file on disk is
// replaced only when everything was written, so a failed save never
// destroys the setup saved before.
class SetupFileWriter
{
public:
    // Writes the header. False (with a diagnostic) when the file cannot be
    // opened; nothing is written then.
    bool open(const QString& fileName);
    void section(const QString& title);
    void command(const QString& name, const QStringList& values);
    // False (with a diagnostic) when the file could not be written whole.
    bool commit();

private:
    QSaveFile file;
    QTextStream out;
    bool firstSection = true;
};

// Every line of a setup file as a command, in file order, comments not
// removed (a "#..." line is a command that matches nothing). Empty with a
// diagnostic, and *ok false, when the file cannot be opened.
QList<BatchCmd> readSetupFile(const QString& fileName, bool* ok = nullptr);
