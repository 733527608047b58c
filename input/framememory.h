// Memory for the frames of a data set: hundreds of frames of megabytes each,
// read once and kept. Fresh memory costs a page fault and a zero fill per
// page, which on some machines takes longer than reading the file, so large
// blocks come on huge pages, and the next blocks of the size in demand are
// made ready on a helper thread while the loader reads into the last one.
#pragma once

#include <cstddef>

// Blocks of at least this size are frame blocks; smaller ones come from the
// ordinary heap.
constexpr std::size_t frameBlockMinBytes = std::size_t(2) << 20;

// Never null: failure is std::bad_alloc, as for operator new.
void* allocFrameMemory(std::size_t bytes);
// bytes: the size given to allocFrameMemory.
void freeFrameMemory(void* p, std::size_t bytes) noexcept;

// One block for many small pieces read at once (the held lines of a whole
// set): on huge pages from frameBlockMinBytes, without the ready blocks of
// the frame pool. Null when memory runs out.
void* allocSharedBlock(std::size_t bytes);
void freeSharedBlock(void* p, std::size_t bytes) noexcept;
