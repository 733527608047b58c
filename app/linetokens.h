// Line tokenising shared by every text format the program reads:
// configuration, setup and batch files, viewer-link messages and ITEX comments.
#pragma once

#include <QString>

// The line without its comment. A '#' starts the comment unless it stands
// inside quotes; ' and " both open and close a quoted stretch. The comment
// text (after the '#') goes to *comment when given.
QString removeComment(const QString& line, QString* comment = nullptr);

// True when only a comment and white space are on the line.
bool isBlankLine(const QString& line);

// The first item of text; *rest receives the text behind it. Items are
// separated by white space; an item in double quotes may hold white space
// and is returned without its quotes.
QString takeItem(const QString& text, QString* rest);

// True when the line's last non-blank character is a backslash, which is
// then cut off together with everything after it.
bool cutContinuation(QString& line);

// text followed by blanks up to width (never more than 101 blanks).
QString padRight(const QString& text, int width);
