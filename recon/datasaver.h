// Writes the automatically saved result files (data text, float TIFF and PNG
// images) on a thread of its own, one record at a time, so that workers
// never wait. The workers hand over finished bytes; this only writes them. Every file appears whole or not at all (wholefile.h); a file
// that could not be written is reported in one line naming it and counted.
#pragma once

#include "recon/savingrecords.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <cstddef>

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

    // Files written and files that could not be written since the saver
    // was made. Read on any thread; exact once the saver is idle.
    int writtenFiles() const { return written.load(); }
    int failedFiles() const { return failed.load(); }

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
    // Writes r's file of suffix ext, size bytes (room readable), into each
    // of its folders.
    void writeFiles(const SavingRecord& r, const QString& ext, const char* bytes, std::size_t size, std::size_t room);

    bool inSub = true;
    bool subOfEnergy = false;
    bool subOfSlice = true;
    std::atomic<int> written{0};
    std::atomic<int> failed{0};
};
