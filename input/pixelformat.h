// Stored pixel formats of projection files and their conversion to double.
// Every reader keeps frames as raw little-endian bytes and converts only
// the pixels that are asked for.
#pragma once

#include <cstddef>
#include <cstdint>
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

// One frame held as its stored bytes; rows are `width` pixels long. Reading
// only writes the caller's buffer, so any number of threads may read at once.
struct RawFrame {
    std::vector<uint8_t> bytes;
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
