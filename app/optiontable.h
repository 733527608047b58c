// The process-wide table of start-up options: command-line switches and
// configuration-file entries, looked up by exact or upper-cased key.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

class OptionTable
{
public:
    struct Entry {
        QString key;     // as written; a switch keeps its leading '-'
        QString value;   // first item after the key
        QString extra;   // everything after the key
        QString comment; // kept for the record format, always empty here
    };

    // Adds a new key at the end or replaces value and extra of an existing
    // one in place, so the last setting of a key wins.
    void set(const QString& key, const QString& value, const QString& extra, const QString& comment = QString());

    bool contains(const QString& key) const;
    QString value(const QString& key, const QString& def = QString()) const;
    QString valueNoCase(const QString& key, const QString& def = QString()) const;
    QString extraNoCase(const QString& key, const QString& def = QString()) const;

    void parseArgs(int argc, const char* const* argv);
    void parseArgs(const QStringList& args);

    // Reads the file and, at their place, every file it INCLUDEs.
    // False when the file could not be opened.
    bool readConfigFile(const QString& path);

    const QVector<Entry>& entries() const { return table; }

private:
    bool readConfigFileGuarded(const QString& path);

    QVector<Entry> table;
    QHash<QString, int> exactIndex;
    QHash<QString, int> upperIndex;
    QSet<QString> filesBeingRead; // include-loop guard
};

// The one table of this process, filled during start-up only.
OptionTable& options();

// Start directory of the file dialogs: Data under the home directory unless
// the configuration or the command line says otherwise.
QString dataRoot();
void setDataRoot(const QString& dir);
