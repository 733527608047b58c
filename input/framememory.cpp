#include "input/framememory.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

std::size_t blockLength(std::size_t bytes)
{
    return (bytes + frameBlockMinBytes - 1) / frameBlockMinBytes * frameBlockMinBytes;
}

#ifdef __linux__

// An anonymous mapping aligned to the huge-page size, so that the kernel
// can back it with huge pages.
void* mapBlock(std::size_t len)
{
    const std::size_t extra = frameBlockMinBytes;
    void* raw = ::mmap(nullptr, len + extra, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto r = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t a = (r + extra - 1) & ~std::uintptr_t(extra - 1);
    if (a > r)
        ::munmap(raw, a - r);
    if (a + len < r + len + extra)
        ::munmap(reinterpret_cast<void*>(a + len), r + extra - a);
    ::madvise(reinterpret_cast<void*>(a), len, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(a);
}

void unmapBlock(void* p, std::size_t len)
{
    ::munmap(p, len);
}

#else

void* mapBlock(std::size_t len)
{
    return ::operator new(len, std::nothrow);
}

void unmapBlock(void* p, std::size_t)
{
    ::operator delete(p);
}

#endif

// Faults every page in, so that whoever takes the block writes to memory
// that is there already.
void touch(void* p, std::size_t len)
{
    auto* b = static_cast<volatile unsigned char*>(p);
    for (std::size_t i = 0; i < len; i += 4096)
        b[i] = 0;
}

// Up to `spare` ready blocks of the length asked for last.
class BlockPool
{
public:
    ~BlockPool()
    {
        {
            std::lock_guard<std::mutex> lock(m);
            stop = true;
        }
        cv.notify_all();
        if (helper.joinable())
            helper.join();
        for (void* p : ready)
            unmapBlock(p, len);
    }

    void* take(std::size_t want)
    {
        std::vector<void*> stale;
        std::size_t staleLen = 0;
        void* p = nullptr;
        {
            std::lock_guard<std::mutex> lock(m);
            if (want != len) {
                stale.swap(ready);
                staleLen = len;
                len = want;
            }
            if (!ready.empty()) {
                p = ready.back();
                ready.pop_back();
            }
            if (!helper.joinable())
                helper = std::thread([this] { prepare(); });
        }
        cv.notify_one();
        for (void* s : stale)
            unmapBlock(s, staleLen);
        return p ? p : mapBlock(want);
    }

    // A block of the length in demand is kept for the next frame.
    void giveBack(void* p, std::size_t l)
    {
        {
            std::lock_guard<std::mutex> lock(m);
            if (l == len && ready.size() < spare) {
                ready.push_back(p);
                return;
            }
        }
        unmapBlock(p, l);
    }

private:
    void prepare()
    {
        std::unique_lock<std::mutex> lock(m);
        for (;;) {
            cv.wait(lock, [this] { return stop || ready.size() < spare; });
            if (stop)
                return;
            const std::size_t l = len;
            lock.unlock();
            void* p = mapBlock(l);
            if (p)
                touch(p, l);
            lock.lock();
            if (p && l == len && !stop)
                ready.push_back(p);
            else if (p)
                unmapBlock(p, l);
            if (!p)
                cv.wait(lock, [this, l] { return stop || len != l; });
        }
    }

    static constexpr std::size_t spare = 4;
    std::mutex m;
    std::condition_variable cv;
    std::vector<void*> ready;
    std::size_t len = 0;
    bool stop = false;
    std::thread helper;
};

BlockPool& pool()
{
    static BlockPool p;
    return p;
}

} // namespace

void* allocFrameMemory(std::size_t bytes)
{
    if (bytes < frameBlockMinBytes)
        return ::operator new(bytes);
    void* p = pool().take(blockLength(bytes));
    if (!p)
        throw std::bad_alloc();
    return p;
}

void* allocSharedBlock(std::size_t bytes)
{
    if (bytes < frameBlockMinBytes)
        return ::operator new(bytes, std::nothrow);
    return mapBlock(blockLength(bytes));
}

void freeSharedBlock(void* p, std::size_t bytes) noexcept
{
    if (!p)
        return;
    if (bytes < frameBlockMinBytes)
        ::operator delete(p);
    else
        unmapBlock(p, blockLength(bytes));
}

void freeFrameMemory(void* p, std::size_t bytes) noexcept
{
    if (!p)
        return;
    if (bytes < frameBlockMinBytes)
        ::operator delete(p);
    else
        pool().giveBack(p, blockLength(bytes));
}
