#include "recon/datasaver.h"

#include <QDebug>
#include <QImageWriter>
#include <QDir>
#include <QFile>

namespace {
QString joinPath(const QString& dir, const QString& file)
{
    return dir.isEmpty() ? file : dir + QLatin1Char('/') + file;
}

void writeDataFile(const QString& fileName, const QByteArray& bytes)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qDebug().noquote() << QStringLiteral("Can't open data file for writing : %1").arg(fileName);
        return;
    }
    const qint64 written = file.write(bytes);
    const bool flushed = file.flush();
    if (written != bytes.size() || !flushed)
        qDebug().noquote() << QStringLiteral("Can't write the whole data file : %1").arg(fileName);
}
} // namespace

DataSaver::DataSaver(QObject* parent) : QObject(parent)
{
    registerSavingTypes();
}

void DataSaver::setSubFolders(bool inSubFolders, bool ofEnergy, bool ofSlice)
{
    inSub = inSubFolders;
    subOfEnergy = ofEnergy;
    subOfSlice = ofSlice;
}

QStringList DataSaver::targetDirs(const SavingRecord& r, bool inSubFolders, bool ofEnergy, bool ofSlice)
{
    if (!inSubFolders)
        return {r.path};
    const QString folder = QStringLiteral("%1%2%3");
    QStringList dirs;
    if (ofEnergy)
        dirs << folder.arg(r.path, QStringLiteral("/"), r.tag);
    // Neither "of Energy" nor "of Slice": the slice folder, as the tool tip says.
    if (!ofEnergy || ofSlice)
        dirs << folder.arg(r.path, QStringLiteral("/"), r.sliceNo);
    return dirs;
}

QStringList DataSaver::prepareFiles(const SavingRecord& r, const QString& ext) const
{
    QStringList files;
    const QString name = r.fileName(ext);
    for (const QString& dir : targetDirs(r, inSub, subOfEnergy, subOfSlice)) {
        if (!dir.isEmpty() && !QDir().mkpath(dir)) {
            qDebug().noquote() << QStringLiteral("Can't create directory : %1").arg(dir);
            continue;
        }
        files << joinPath(dir, name);
    }
    return files;
}

void DataSaver::saveDataWDiscard(SavingData* data)
{
    saveData(data);
    delete data;
}

void DataSaver::saveData(SavingData* data)
{
    if (!data)
        return;
    for (const QString& f : prepareFiles(*data, QStringLiteral("dat")))
        writeDataFile(f, data->data);
    emit dataSaved(data->sliceNo.toInt());
}

void DataSaver::saveImg(SavingImg* img)
{
    if (!img)
        return;
    for (const QString& f : prepareFiles(*img, QStringLiteral("png"))) {
        QImageWriter writer(f, "png");
        if (pngLevel >= 0 && pngLevel <= 9)
            writer.setQuality(pngQualityFor(pngLevel));
        if (!writer.write(img->img))
            qDebug().noquote() << QStringLiteral("Can't save image file : %1").arg(f);
    }
}

int DataSaver::pngQualityFor(int level)
{
    // The PNG writer turns quality q into level (100 - q) * 9 / 91.
    return 100 - (level * 91 + 8) / 9;
}

void DataSaver::saveImgWDiscard(SavingImg* img)
{
    saveImg(img);
    delete img;
}
