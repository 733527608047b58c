// Reads the frames of a file list on threads of its own, a few files ahead
// of the window's loader, which takes them file by file in list order: the
// disk always has reads to do, both cores copy, and the window's thread
// only appends finished frames, so it stays responsive.
#pragma once

#include "input/imgdata.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class FrameLoader
{
public:
    struct File {
        QString path;
        bool sequence = false; // frames listed as "path(k)"
        // One per frame; null where the frame could not be read (reported).
        std::vector<std::unique_ptr<ImgData>> frames;
    };

    // threads 0: by the machine's hardware threads.
    explicit FrameLoader(int threads = 0);
    ~FrameLoader();

    // Drops what the previous list left and starts reading `files`; with
    // linesOnly the frames are probed (ImgData::probe), not read.
    void start(const QStringList& files, bool linesOnly);
    void cancel();
    // The next file of the list, waiting at most waitMs for it; nothing
    // when it isn't read yet or every file has been taken.
    std::optional<File> takeNext(int waitMs);

private:
    void work();
    // Stops between frames once the list is dropped.
    File readFile(const QString& path, bool linesOnly);

    int threadCount;
    std::vector<std::thread> pool;
    std::mutex m;
    std::condition_variable cv;
    QStringList list;
    bool probeOnly = false;
    std::atomic<bool> stopping{false};
    int claimed = 0; // files handed to a thread
    int taken = 0;   // files handed to the caller
    // Results from `taken` on, in list order; empty until read.
    std::deque<std::optional<File>> ready;
};
