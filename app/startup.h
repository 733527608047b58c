// Start-up decisions taken from the option table before the main window
// exists: configuration file, data root, translation, batch file, window.
#pragma once

#include <QString>
#include <QStringList>

class OptionTable;
class QCoreApplication;
class QTranslator;

struct StartupPlan {
    QString configFile = QStringLiteral("config.cfg");
    QString batchFile = QStringLiteral("batchFile.bat");
    bool loadBatch = false; // -b
    bool execBatch = false; // -x
    bool noWindow = false;  // -nw
    bool english = false;   // -e: no translation
    bool partGiven = false; // -part K/N: this process's part of every run
    QString part;
    bool checkOnly = false; // -check: runs list slices without their result files
};

// Fills the table from the command line and the configuration file, sets the
// data root and returns what the rest of start-up has to do. Presence
// switches count also when they come from the configuration file.
StartupPlan prepareStartup(OptionTable& table, const QStringList& args);

// Loads ":Fenu2_ja_JP" and installs the translator unless plan.english.
// The translator is installed even when loading failed, which leaves the
// program in English. Returns whether it was installed.
bool installTranslation(QCoreApplication& app, QTranslator& translator, const StartupPlan& plan);

// Window-less runs: drops Qt's platform notices (the qt.qpa categories, the
// XDG_RUNTIME_DIR note), which say nothing about the run, so that the
// console carries the program's own lines only. Other messages pass on to
// the handler that was installed before.
void quietPlatformNotices();
