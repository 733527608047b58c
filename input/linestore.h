// The detector lines a window-less run needs from its frames: whole rows
// (vertical rotation axis) or whole columns (horizontal axis) of the slices
// in hand, so that a set far larger than memory can be reconstructed.
#pragma once

#include "input/pixelformat.h"

#include <cstdint>
#include <memory>
#include <vector>

// Which lines every frame of a set holds; one selection is shared by all.
struct LineSelection {
    bool rows = true;
    std::vector<int> lines;  // ascending, distinct, inside the frame
    std::vector<int> slotOf; // line -> its place in `lines`, -1 when not held

    // Lines outside 0..extent-1 are left out; extent is the frame's height
    // for rows, its width for columns.
    static std::shared_ptr<const LineSelection> make(bool rows, std::vector<int> lines, int extent);
    int slot(int line) const { return line >= 0 && line < int(slotOf.size()) ? slotOf[std::size_t(line)] : -1; }
};

// The selected lines of one frame as stored: rows one after the other, or
// each column as `height` consecutive pixels.
struct HeldLines {
    std::shared_ptr<const LineSelection> sel;
    std::shared_ptr<const uint8_t> block; // keeps data alive; may be shared by a set's frames
    const uint8_t* data = nullptr;
    PixelKind kind = PixelKind::None;
    int width = 0;
    int height = 0;

    // Row y into dst[0..width) or column x into dst[0..height); false (dst
    // untouched) when that line is not held whole.
    bool row(int y, double* dst) const;
    bool column(int x, double* dst) const;
    void clear();
};

// Stored rows y0 .. y0 + rows - 1 of a frame, little-endian, rows of
// `width` pixels; false when they can't be read.
class RowSource
{
public:
    virtual ~RowSource() = default;
    virtual bool readRows(int y0, int rows, uint8_t* dst) = 0;
};

// Reads the selected lines of a width x height frame of `kind` from src.
// Columns are cut from blocks of whole rows read into scratch, which the
// caller may reuse from frame to frame.
// into: heldLineBytes of memory owned by block to read into; null for memory
// of the frame's own.
bool readHeldLines(RowSource& src, PixelKind kind, int width, int height,
                   const std::shared_ptr<const LineSelection>& sel, std::vector<uint8_t>& scratch, HeldLines& out,
                   uint8_t* into = nullptr, const std::shared_ptr<const uint8_t>& block = {});
// Bytes the selected lines of such a frame take.
int64_t heldLineBytes(PixelKind kind, int width, int height, const LineSelection& sel);
// Memory for n bytes of held lines, from allocSharedBlock; null when it runs out.
std::shared_ptr<uint8_t> heldLineBlock(std::size_t n);

// Slices whose lines fit in `budget` bytes when each takes lineBytes: at
// least 1, however small the budget.
int slicesPerBand(int64_t lineBytes, int64_t budget);
// Half the memory the system reports available (the rest stays for the
// workers and the page cache); 1 GiB when it can't tell.
int64_t defaultBandMemory();
