// The data sets of a CT-XAFS series and which one is selected: either the
// sub-directories of a data directory, or the files of that directory
// grouped by the standard naming "<base>-<tag>-<index>.<ext>". The data-
// directory panel holds one and shows its entries; batches step it.
#pragma once

#include <QFileInfo>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

// One data set of the standard naming: every file whose name up to its last
// "-" is the same. For a-7112_5eV-001.img the stem is "a-7112_5eV", the base
// name "a", the tag "7112_5eV", the energy value 7112.5 and the unit "eV".
struct CtFileSet {
    QFileInfoList files; // in directory order
    QString stem;
    QString baseName;
    QString tag;
    double energyValue = 0.0;
    QString unit;
    bool energyKnown = false;
    double energyFactor() const;

    // Empty set when the name has fewer than two "-" separators.
    static CtFileSet fromFileName(const QFileInfo& file);
};

class DataSetList : public QObject
{
    Q_OBJECT

public:
    explicit DataSetList(QObject* parent = nullptr);

    bool isVKRStandard() const { return vkrStandard; }
    // The pattern field: file-name patterns separated by white space.
    QString patternText() const { return patterns; }
    void setPatternText(const QString& text) { patterns = text; }
    QStringList patternList() const;
    QString directory() const { return dir; }

    int count() const;
    QStringList entryTexts() const { return texts; }
    const QStringList& subDirs() const { return subDirNames; }
    const QVector<CtFileSet>& fileSets() const { return sets; }

    int currentIndex() const { return current; }
    // Out-of-range indices make no entry current (-1), as a combo box does.
    void setCurrentIndex(int idx);
    bool stepNext();

    // Tag and energy (eV for the standard naming; the bare number of a
    // sub-directory name) of the current set; empty / 0 without one.
    QString currentSetTag() const;
    double currentEnergy() const;
    bool currentEnergyKnown() const;
    // Index into i0Energies of the I0 file nearest in energy to the current
    // set, or -1 (with one line) when the set's energy cannot be read, so
    // that the I0 image in use is kept.
    int nearestI0Index(const QVector<double>& i0Energies) const;

    // The 1-based range a sequential run walks. A new list resets it to the
    // whole list unless it is to be kept.
    int rangeFrom() const { return from; }
    int rangeTo() const { return to; }
    void setRange(int first, int last);
    bool keepsRangeOnNewSets() const { return keepRange; }
    void setKeepRangeOnNewSets(bool keep) { keepRange = keep; }

signals:
    void newSets(int items);
    void selected(QString dir, QStringList patterns);
    void selectedFileInfoList(QFileInfoList fileInfos);
    void noMoreSets();
    void currentIndexChanged(int idx);
    void rangeChanged(int first, int last);

public slots:
    // Finds the data sets of dirPath in the current mode.
    void aDirSelected(const QString& dirPath);
    // A change of mode finds the sets of the same directory again.
    void setIsVKRStandard(bool f);
    // Selects the current set; false (after noMoreSets()) when there is none,
    // so that a waiting caller can go on at once.
    bool set();
    void next() { stepNext(); }
    void setFirstSet(int firstIdx);
    void setNextSet(int lastIdx);

private:
    void setSubDirs(const QString& dirPath);
    void setFileSets(const QString& dirPath);
    bool validIndex(int idx) const { return idx >= 0 && idx < count(); }

    bool vkrStandard = false;
    QString patterns = QStringLiteral("*.img");
    QString dir;
    QStringList subDirNames;
    QVector<CtFileSet> sets;
    QStringList texts;
    int current = -1;
    int from = 1;
    int to = 0;
    bool keepRange = false;
};
