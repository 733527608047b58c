// Stored pixel formats of projection files and their conversion to double.
// Every reader keeps frames as raw little-endian bytes and converts only
// the pixels that are asked for.
#pragma once

#include "input/framememory.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

enum class PixelKind { None, U8, S8, U16, S16, U32, S32, F32 };

int pixelBytes(PixelKind kind);

// Converts n pixels starting at src, one every strideBytes, into dst.
// PixelKind::None yields zeros.
void convertPixels(const uint8_t* src, PixelKind kind, std::size_t n, std::ptrdiff_t strideBytes, double* dst);

// Contiguous form of the above.
inline void convertPixels(const uint8_t* src, PixelKind kind, std::size_t n, double* dst)
{
    convertPixels(src, kind, n, pixelBytes(kind), dst);
}

// Reorders host-order samples to little-endian in place (nothing to do on
// a little-endian host).
void hostToLittleEndian(uint8_t* data, PixelKind kind, std::size_t n);

// Frame buffers are filled from the file before anything reads them, so a
// resize leaves new bytes as they come instead of zeroing them first (for a
// data set of many large frames that pass costs about as much as the read),
// and large frames take memory made ready for them (framememory.h).
template <typename T>
struct FrameAllocator {
    using value_type = T;
    template <typename U>
    struct rebind {
        using other = FrameAllocator<U>;
    };
    FrameAllocator() = default;
    template <typename U>
    FrameAllocator(const FrameAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(allocFrameMemory(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { freeFrameMemory(p, n * sizeof(T)); }
    template <typename U>
    bool operator==(const FrameAllocator<U>&) const noexcept { return true; }
    template <typename U>
    bool operator!=(const FrameAllocator<U>&) const noexcept { return false; }
    template <typename U>
    void construct(U* p) noexcept
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using FrameBytes = std::vector<uint8_t, FrameAllocator<uint8_t>>;

// One frame held as its stored bytes; rows are `width` pixels long. Reading
// only writes the caller's buffer, so any number of threads may read at once.
struct RawFrame {
    FrameBytes bytes;
    std::size_t start = 0; // byte of the first pixel (reads aligned for the disk begin earlier)
    PixelKind kind = PixelKind::None;
    int width = 0;
    int height = 0;

    // Bytes the width x height pixels take; `bytes` may hold more.
    int64_t pixelBytesNeeded() const { return int64_t(width) * height * pixelBytes(kind); }
    // Row y into dst[0..width), column x into dst[0..height); an index
    // outside the frame (or a frame shorter than its size) gives zeros.
    void row(int y, double* dst) const;
    void column(int x, double* dst) const;
};
