// Result files appear whole or not at all: the bytes go to a temporary file
// in the target's folder, which takes the target's name only once it is
// complete. A killed process therefore never leaves a half-written file
// under a result's name, only (at worst) a hidden ".part" file.
#pragma once

#include <QString>

#include <cstddef>

enum class WriteFault { None, Open, Write, Rename };

// The temporary name a write to path uses: hidden, in path's folder, unique
// within this process by its counter and across processes by the process id
// (".<name>.<pid>-<n>.part").
QString temporaryNameFor(const QString& path);

// How writeWholeBytes put a file on the disk.
enum class WriteWay { Plain, Direct };

// Writes the size bytes at data to path. On any fault the temporary file is
// removed and an existing file under path is left as it was. No fsync: the
// guarantee is against a process that dies, not against the machine.
// Large files whose bytes are page-aligned with room readable up to the end
// of the last page bypass the page cache (O_DIRECT), which saves the kernel
// copying them: the last page goes out whole and the file is cut back to
// size. Where the file system refuses that (tmpfs), plain writes. *way, if
// given, tells which was used.
WriteFault writeWholeBytes(const QString& path, const char* data, std::size_t size, std::size_t room,
                           WriteWay* way = nullptr);
