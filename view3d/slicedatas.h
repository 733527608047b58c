// Loads one slice set of the 3-D view on a thread of its own. The window
// never reads this object: every finished stack is handed over whole, by a
// queued signal, and never touched again here.
#pragma once

#include "view3d/slicedata.h"

#include <QObject>
#include <QStringList>

class SliceDatas : public QObject
{
    Q_OBJECT
public:
    explicit SliceDatas(QObject* parent = nullptr);

    // Caps the stack's memory (pixels x 8 bytes) instead of the system's
    // available memory; 0 goes back to the system. Set it before the object
    // moves to its thread.
    void setMemoryLimit(qint64 bytes) { memoryLimit = bytes; }

public slots:
    // Replaces the stack by the files' slices, in the given order.
    void filesSelected(const QStringList& files);

signals:
    void cleared();
    void loadedNewFile(const QString& fname);
    // The new stack (possibly empty, loaded false), just before loadFilesFinished().
    void stackUpdated(const SliceStackPtr& stack);
    void loadFilesFinished();

private:
    bool fitsInMemory(int width, int height, int files) const;

    qint64 memoryLimit = 0;
};
