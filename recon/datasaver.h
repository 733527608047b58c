// Writes the automatically saved result files (data text and PNG images) on
// a thread of its own, one record at a time, so that workers never wait.
#pragma once

#include "recon/savingrecords.h"

#include <QObject>
#include <QStringList>

class DataSaver : public QObject
{
    Q_OBJECT

public:
    explicit DataSaver(QObject* parent = nullptr);

    // Set at run start from "Save in Sub Folders", "of Energy", "of Slice".
    void setSubFolders(bool inSubFolders, bool ofEnergy, bool ofSlice);
    bool inSubFolders() const { return inSub; }
    bool ofEnergy() const { return subOfEnergy; }
    bool ofSlice() const { return subOfSlice; }

    // Directories a record is written into, in writing order: the tag
    // folder and/or the slice folder, or the base directory itself.
    static QStringList targetDirs(const SavingRecord& r, bool inSubFolders, bool ofEnergy, bool ofSlice);

    // zlib level 0..9 for the PNG images; anything else keeps the image
    // writer's default. Set before the saver's thread starts.
    void setPngCompression(int level) { pngLevel = level; }
    // The image writer's quality that gives zlib level `level`.
    static int pngQualityFor(int level);

signals:
    // The data record of this slice has been written, or given up after a
    // failure was reported: nothing of it is pending any more.
    void dataSaved(int slice);

public slots:
    void saveDataWDiscard(SavingData* data);
    void saveData(SavingData* data);
    void saveImg(SavingImg* img);
    void saveImgWDiscard(SavingImg* img);

private:
    // Target files of r; a directory that cannot be made is reported and left out.
    QStringList prepareFiles(const SavingRecord& r, const QString& ext) const;

    bool inSub = true;
    bool subOfEnergy = false;
    bool subOfSlice = true;
    int pngLevel = -1;
};
