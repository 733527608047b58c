#include "input/frameloader.h"

#include "input/imgdataitex.h"
#include "input/imgdatas.h"

#include <algorithm>
#include <chrono>

namespace {

// Files read ahead of the one the caller waits for: enough to keep the
// disk busy, few enough that a cancelled list wastes little.
constexpr int maxAhead = 32;

} // namespace

FrameLoader::FrameLoader(int threads)
    : threadCount(threads > 0 ? threads : std::clamp(2 * int(std::thread::hardware_concurrency()), 4, 8))
{
}

FrameLoader::~FrameLoader()
{
    cancel();
}

void FrameLoader::cancel()
{
    {
        std::lock_guard<std::mutex> lock(m);
        stopping = true;
    }
    cv.notify_all();
    for (std::thread& t : pool)
        t.join();
    pool.clear();
    std::lock_guard<std::mutex> lock(m);
    stopping = false;
    list.clear();
    ready.clear();
    claimed = taken = 0;
}

void FrameLoader::start(const QStringList& files, bool linesOnly)
{
    cancel();
    {
        std::lock_guard<std::mutex> lock(m);
        list = files;
        probeOnly = linesOnly;
    }
    const int n = std::min<int>(threadCount, int(files.size()));
    for (int i = 0; i < n; ++i)
        pool.emplace_back([this] { work(); });
}

void FrameLoader::work()
{
    std::unique_lock<std::mutex> lock(m);
    for (;;) {
        cv.wait(lock, [this] { return stopping || claimed >= list.size() || claimed < taken + maxAhead; });
        if (stopping || claimed >= list.size())
            return;
        const int i = claimed++;
        ready.emplace_back();
        const QString path = list.at(i);
        const bool probe = probeOnly;
        lock.unlock();
        File f = readFile(path, probe);
        lock.lock();
        if (stopping)
            return;
        ready[std::size_t(i - taken)] = std::move(f);
        cv.notify_all();
    }
}

std::optional<FrameLoader::File> FrameLoader::takeNext(int waitMs)
{
    std::unique_lock<std::mutex> lock(m);
    if (taken >= list.size())
        return std::nullopt;
    const auto ok = [this] { return !ready.empty() && ready.front().has_value(); };
    if (!cv.wait_for(lock, std::chrono::milliseconds(std::max(waitMs, 0)), ok))
        return std::nullopt;
    File f = std::move(*ready.front());
    ready.pop_front();
    ++taken;
    lock.unlock();
    cv.notify_all();
    return f;
}

FrameLoader::File FrameLoader::readFile(const QString& path, bool linesOnly)
{
    File f;
    f.path = path;
    // A sequence file's frames follow each other; any other file (or one
    // whose header can't be read, reported by the reader) is one frame.
    const int frames = ImgDataITEX::sequenceFrames(path);
    if (frames == 0)
        return f;
    f.sequence = frames >= 2;
    for (int k = 0; k < std::max(frames, 1) && !stopping; ++k)
        f.frames.push_back(ImgDatas::openFrame(path, k, linesOnly, frames >= 1));
    return f;
}
