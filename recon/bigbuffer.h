// Large working buffers (an engine's result and filtered rows, a sinogram,
// a data text) on 2 MiB pages where the kernel offers them on request, so
// that filling one the first time does not stop at every 4 KiB page for a
// fault.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <vector>

// Size from which buffers are placed on huge-page boundaries.
constexpr std::size_t kHugePage = std::size_t(2) << 20;

// At least `bytes` of memory, untouched; from kHugePage on aligned to it and
// marked for huge pages. Null when memory runs out.
void* bigAlloc(std::size_t bytes);
// Releases what bigAlloc gave for the same byte count.
void bigFree(void* p, std::size_t bytes);
// Asks for huge pages on the whole 2 MiB pages inside [p, p + bytes) of
// memory another allocator gave and that is not yet touched. Best effort.
void adviseHugePages(void* p, std::size_t bytes);

template <class T>
struct BigAllocator {
    using value_type = T;
    BigAllocator() = default;
    template <class U>
    BigAllocator(const BigAllocator<U>&) noexcept {}
    T* allocate(std::size_t n)
    {
        void* p = n <= std::size_t(-1) / sizeof(T) ? bigAlloc(n * sizeof(T)) : nullptr;
        // Out of memory ends the program, as it does for any vector.
        if (!p)
            std::abort();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept { bigFree(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const BigAllocator<U>&) const noexcept { return true; }
    template <class U>
    bool operator!=(const BigAllocator<U>&) const noexcept { return false; }
};

template <class T>
using BigVector = std::vector<T, BigAllocator<T>>;

// A result file's bytes in memory that can go to the disk without passing
// through the page cache: page-aligned, whole pages, zero behind the content
// to the end of its last page. A worker keeps one and refills it slice after
// slice, so that its pages are faulted in once.
class PageBytes
{
public:
    static constexpr std::size_t kPage = 4096;

    PageBytes() = default;
    ~PageBytes();
    PageBytes(const PageBytes&) = delete;
    PageBytes& operator=(const PageBytes&) = delete;

    // At least n writable bytes; the content is not kept when it has to
    // grow. Null when memory runs out.
    char* reserve(std::size_t n);
    // The first n reserved bytes are the content.
    void setSize(std::size_t n);

    char* data() { return bytes; }
    const char* data() const { return bytes; }
    std::size_t size() const { return length; }
    // Whole pages from data().
    std::size_t capacity() const { return room; }

private:
    char* bytes = nullptr;
    std::size_t room = 0;
    std::size_t length = 0;
};
