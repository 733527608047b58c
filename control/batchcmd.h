// One command line of a batch or setup file, cut into its name and
// arguments, with the readings the command executor applies to arguments.
#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

struct BatchCmd {
    QString line;     // the text the command was parsed from
    QString name;     // first item of the line
    QStringList args; // following items up to the first empty one

    // No comment removal here: a line starting with '#' simply gets a name
    // that matches no command.
    static BatchCmd parse(const QString& line);

    // Command names match ignoring case (both sides upper-cased).
    bool is(const char* commandName) const;

    // Argument readings; a missing argument reads as 0, off or empty.
    int intArg(int i = 0) const;     // decimal, 32-bit range, else 0
    bool flagArg(int i = 0) const;   // on only for exactly 1
    double realArg(int i = 0) const; // finite decimal number, else 0
    QString textArg(int i = 0) const;
    QString dirArg() const;          // first argument of "dir patterns"
    QStringList patternArgs() const; // the rest of "dir patterns"
};

Q_DECLARE_METATYPE(BatchCmd)

// Registers BatchCmd under the name "BatchCmd" for queued signals. Safe to
// call any number of times from any thread; Batch calls it on construction.
void registerBatchCmdType();

// Batch and setup files are a few thousand lines; anything far larger is a
// data file picked by mistake and is refused rather than read into memory.
constexpr qint64 kMaxCommandFileBytes = qint64(64) << 20;

// Readings of one argument text, shared with anyone who holds bare texts.
int readIntArg(const QString& text);
double readRealArg(const QString& text);
