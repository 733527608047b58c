#include "control/datasetlist.h"

#include "input/xafsenergy.h"

#include <QDebug>
#include <QDir>
#include <QRegularExpression>

double CtFileSet::energyFactor() const
{
    EnergyField f;
    f.unit = unit;
    return f.factor();
}

CtFileSet CtFileSet::fromFileName(const QFileInfo& file)
{
    CtFileSet s;
    const QString name = file.fileName();
    const int last = int(name.lastIndexOf(QLatin1Char('-')));
    const int before = last > 0 ? int(name.lastIndexOf(QLatin1Char('-'), last - 1)) : -1;
    if (before < 0)
        return s;
    s.stem = name.left(last);
    s.baseName = name.left(before);
    s.tag = name.mid(before + 1, last - before - 1);
    const EnergyField f = parseEnergyField(s.tag);
    s.energyValue = f.value;
    s.unit = f.unit;
    s.energyKnown = f.ok;
    s.files << file;
    return s;
}

DataSetList::DataSetList(QObject* parent) : QObject(parent) {}

QStringList DataSetList::patternList() const
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return patterns.split(blanks, Qt::SkipEmptyParts);
}

int DataSetList::count() const
{
    return int(texts.size());
}

void DataSetList::setCurrentIndex(int idx)
{
    if (!validIndex(idx))
        idx = -1;
    if (idx == current)
        return;
    current = idx;
    emit currentIndexChanged(current);
}

bool DataSetList::stepNext()
{
    if (current < 0 || current >= count() - 1)
        return false;
    setCurrentIndex(current + 1);
    return true;
}

QString DataSetList::currentSetTag() const
{
    if (!validIndex(current))
        return QString();
    return vkrStandard ? sets.at(current).tag : subDirNames.at(current);
}

double DataSetList::currentEnergy() const
{
    if (!validIndex(current))
        return 0.0;
    if (vkrStandard)
        return sets.at(current).energyValue * sets.at(current).energyFactor();
    // A sub-directory name carries no unit; its number is taken as it is.
    return parseEnergyField(subDirNames.at(current)).value;
}

bool DataSetList::currentEnergyKnown() const
{
    if (!validIndex(current))
        return false;
    return vkrStandard ? sets.at(current).energyKnown : parseEnergyField(subDirNames.at(current)).ok;
}

int DataSetList::nearestI0Index(const QVector<double>& i0Energies) const
{
    if (!currentEnergyKnown()) {
        qDebug().noquote() << QStringLiteral("No energy in data set name \"%1\"; the I0 image is kept")
                                  .arg(currentSetTag());
        return -1;
    }
    return nearestEnergyIndex(i0Energies, currentEnergy());
}

void DataSetList::setRange(int first, int last)
{
    if (first == from && last == to)
        return;
    from = first;
    to = last;
    emit rangeChanged(from, to);
}

void DataSetList::aDirSelected(const QString& dirPath)
{
    dir = dirPath;
    subDirNames.clear();
    sets.clear();
    texts.clear();
    // An empty path would list the working directory.
    if (dirPath.isEmpty() || !QFileInfo(dirPath).isDir())
        qDebug().noquote() << QStringLiteral("No data directory : %1").arg(dirPath);
    else if (vkrStandard)
        setFileSets(dirPath);
    else
        setSubDirs(dirPath);
    // A refilled list always announces its current entry, like a combo box.
    current = count() > 0 ? 0 : -1;
    emit currentIndexChanged(current);
    if (!keepRange)
        setRange(1, count());
    emit newSets(count());
}

void DataSetList::setIsVKRStandard(bool f)
{
    if (f == vkrStandard)
        return;
    vkrStandard = f;
    aDirSelected(dir);
}

void DataSetList::setSubDirs(const QString& dirPath)
{
    subDirNames = QDir(dirPath).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (int i = 0; i < subDirNames.size(); ++i)
        texts << QStringLiteral("%1 : %2").arg(QString::number(i + 1), subDirNames.at(i));
}

void DataSetList::setFileSets(const QString& dirPath)
{
    const QFileInfoList files = QDir(dirPath).entryInfoList(patternList(), QDir::Files, QDir::Name);
    int offNames = 0;
    QString firstOff;
    for (const QFileInfo& file : files) {
        const QString name = file.fileName();
        if (!sets.isEmpty() && name.left(name.lastIndexOf(QLatin1Char('-'))) == sets.last().stem) {
            sets.last().files << file;
            continue;
        }
        CtFileSet s = CtFileSet::fromFileName(file);
        if (s.files.isEmpty()) {
            if (offNames++ == 0)
                firstOff = name;
            continue;
        }
        sets << s;
    }
    if (offNames > 0)
        qDebug().noquote() << QStringLiteral("%1 file(s) without the <base>-<tag>-<index> naming left out, first : %2")
                                  .arg(QString::number(offNames), firstOff);
    for (int i = 0; i < sets.size(); ++i) {
        const CtFileSet& s = sets.at(i);
        const bool sameBase = i > 0 && sets.at(i - 1).baseName == s.baseName;
        // Multi-arg form: a "%n" inside a name must stay as it is.
        texts << QStringLiteral("%1 : %2 (%3[%4], %5)")
                     .arg(QString::number(i + 1),
                          sameBase ? QString(s.baseName.size(), QLatin1Char(' ')) : s.baseName,
                          QString::number(s.energyValue, 'g', 6), s.unit, QString::number(s.files.size()));
    }
}

bool DataSetList::set()
{
    if (!validIndex(current)) {
        emit noMoreSets();
        return false;
    }
    if (vkrStandard) {
        emit selectedFileInfoList(sets.at(current).files);
        return true;
    }
    QString path = QDir::fromNativeSeparators(dir);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    emit selected(QDir::toNativeSeparators(path + subDirNames.at(current)), patternList());
    return true;
}

void DataSetList::setFirstSet(int firstIdx)
{
    setCurrentIndex(firstIdx);
    set();
}

void DataSetList::setNextSet(int lastIdx)
{
    if (current < 0 || current >= lastIdx || current >= count() - 1) {
        emit noMoreSets();
        return;
    }
    setCurrentIndex(current + 1);
    set();
}
