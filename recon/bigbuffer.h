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
