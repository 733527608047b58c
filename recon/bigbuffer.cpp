#include "recon/bigbuffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

void* bigAlloc(std::size_t bytes)
{
    if (bytes < kHugePage)
        return std::malloc(bytes == 0 ? 1 : bytes);
    // Over-map by one huge page and cut the ends off, so that the buffer
    // starts on a boundary the kernel can back with whole huge pages.
    const std::size_t size = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* raw = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start)
        munmap(raw, aligned - start);
    const std::size_t tail = start + size + kHugePage - (aligned + size);
    if (tail > 0)
        munmap(reinterpret_cast<void*>(aligned + size), tail);
    void* p = reinterpret_cast<void*>(aligned);
    madvise(p, size, MADV_HUGEPAGE);
    return p;
}

void bigFree(void* p, std::size_t bytes)
{
    if (!p)
        return;
    if (bytes < kHugePage) {
        std::free(p);
        return;
    }
    munmap(p, (bytes + kHugePage - 1) / kHugePage * kHugePage);
}

void adviseHugePages(void* p, std::size_t bytes)
{
    const auto start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
    if (end > first)
        madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

PageBytes::~PageBytes()
{
    bigFree(bytes, room);
}

char* PageBytes::reserve(std::size_t n)
{
    const std::size_t pages = n / kPage + (n % kPage != 0 || n == 0);
    if (pages > std::size_t(-1) / kPage)
        return nullptr;
    const std::size_t want = pages * kPage;
    if (want <= room)
        return bytes;
    bigFree(bytes, room);
    // Below a huge page bigAlloc takes the heap's alignment, too little here.
    bytes = static_cast<char*>(want >= kHugePage ? bigAlloc(want) : std::aligned_alloc(kPage, want));
    room = bytes ? want : 0;
    length = 0;
    return bytes;
}

void PageBytes::setSize(std::size_t n)
{
    length = n < room ? n : room;
    const std::size_t end = (length + kPage - 1) / kPage * kPage;
    if (end > length)
        std::memset(bytes + length, 0, end - length);
}
