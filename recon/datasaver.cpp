#include "recon/datasaver.h"

#include "recon/wholefile.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

namespace {
QString joinPath(const QString& dir, const QString& file)
{
    return dir.isEmpty() ? file : dir + QLatin1Char('/') + file;
}

QString kindOf(const QString& ext)
{
    if (ext == QLatin1String("png"))
        return QStringLiteral("image file");
    if (ext == QLatin1String("tif"))
        return QStringLiteral("TIFF file");
    return QStringLiteral("data file");
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

void DataSaver::writeFiles(const SavingRecord& r, const QString& ext, const char* bytes, std::size_t size, std::size_t room)
{
    const QString name = r.fileName(ext);
    for (const QString& dir : targetDirs(r, inSub, subOfEnergy, subOfSlice)) {
        const QString path = joinPath(dir, name);
        if (!dir.isEmpty() && !QDir().mkpath(dir)) {
            qDebug().noquote() << QStringLiteral("Can't create directory : %1 (%2 not saved)").arg(dir, name);
            ++failed;
            continue;
        }
        const WriteFault fault = writeWholeBytes(path, bytes, size, room);
        if (fault == WriteFault::None) {
            ++written;
            continue;
        }
        ++failed;
        const QString kind = kindOf(ext);
        if (fault == WriteFault::Open)
            qDebug().noquote() << QStringLiteral("Can't open %1 for writing : %2").arg(kind, path);
        else if (fault == WriteFault::Write)
            qDebug().noquote() << QStringLiteral("Can't write the whole %1 : %2").arg(kind, path);
        else
            qDebug().noquote() << QStringLiteral("Can't put the written %1 in place : %2").arg(kind, path);
    }
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
    writeFiles(*data, data->ext, data->bytes(), data->byteCount(), data->room());
    // The viewer link waits for the data file; a TIFF comes after it.
    if (data->ext == QLatin1String("dat"))
        emit dataSaved(data->sliceNo.toInt());
}

void DataSaver::saveImg(SavingImg* img)
{
    if (!img)
        return;
    writeFiles(*img, QStringLiteral("png"), img->png.constData(), std::size_t(img->png.size()), std::size_t(img->png.size()));
}

void DataSaver::saveImgWDiscard(SavingImg* img)
{
    saveImg(img);
    delete img;
}
