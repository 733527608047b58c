#include "input/linestore.h"

#include "input/framememory.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// Rows read at once when columns are cut out: large enough for the disk,
// small enough to stay in the cache while the stripe is copied.
constexpr int64_t columnBlockBytes = int64_t(1) << 20;

} // namespace

std::shared_ptr<const LineSelection> LineSelection::make(bool rows, std::vector<int> lines, int extent)
{
    auto s = std::make_shared<LineSelection>();
    s->rows = rows;
    lines.erase(std::remove_if(lines.begin(), lines.end(), [extent](int l) { return l < 0 || l >= extent; }),
                lines.end());
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    s->lines = std::move(lines);
    s->slotOf.assign(std::size_t(std::max(extent, 0)), -1);
    for (std::size_t i = 0; i < s->lines.size(); ++i)
        s->slotOf[std::size_t(s->lines[i])] = int(i);
    return s;
}

bool HeldLines::row(int y, double* dst) const
{
    if (!sel || !sel->rows || y >= height)
        return false;
    const int s = sel->slot(y);
    if (s < 0)
        return false;
    convertPixels(data + int64_t(s) * width * pixelBytes(kind), kind, std::size_t(width), dst);
    return true;
}

bool HeldLines::column(int x, double* dst) const
{
    if (!sel || sel->rows || x >= width)
        return false;
    const int s = sel->slot(x);
    if (s < 0)
        return false;
    convertPixels(data + int64_t(s) * height * pixelBytes(kind), kind, std::size_t(height), dst);
    return true;
}

void HeldLines::clear()
{
    sel.reset();
    block.reset();
    data = nullptr;
}

int64_t heldLineBytes(PixelKind kind, int width, int height, const LineSelection& sel)
{
    if (width <= 0 || height <= 0)
        return 0;
    return int64_t(sel.rows ? width : height) * pixelBytes(kind) * int64_t(sel.lines.size());
}

std::shared_ptr<uint8_t> heldLineBlock(std::size_t n)
{
    auto* p = static_cast<uint8_t*>(allocSharedBlock(std::max<std::size_t>(n, 1)));
    if (!p)
        return {};
    return std::shared_ptr<uint8_t>(p, [n](uint8_t* q) { freeSharedBlock(q, std::max<std::size_t>(n, 1)); });
}

bool readHeldLines(RowSource& src, PixelKind kind, int width, int height,
                   const std::shared_ptr<const LineSelection>& sel, std::vector<uint8_t>& scratch, HeldLines& out,
                   uint8_t* into, const std::shared_ptr<const uint8_t>& block)
{
    out.clear();
    if (!sel || width <= 0 || height <= 0)
        return false;
    const int64_t bpp = pixelBytes(kind);
    const int64_t rowBytes = width * bpp;
    const std::vector<int>& lines = sel->lines;
    const int64_t lineBytes = sel->rows ? rowBytes : height * bpp;
    std::shared_ptr<const uint8_t> owner = block;
    if (!into) {
        std::shared_ptr<uint8_t> own = heldLineBlock(std::size_t(lineBytes * int64_t(lines.size())));
        if (!own)
            return false;
        into = own.get();
        owner = std::move(own);
    }
    uint8_t* const bytes = into;
    if (sel->rows) {
        // One read per run of consecutive rows.
        for (std::size_t i = 0; i < lines.size();) {
            std::size_t j = i + 1;
            while (j < lines.size() && lines[j] == lines[j - 1] + 1)
                ++j;
            if (!src.readRows(lines[i], int(j - i), bytes + int64_t(i) * rowBytes))
                return false;
            i = j;
        }
    } else if (!lines.empty()) {
        const int block = int(std::clamp<int64_t>(columnBlockBytes / std::max<int64_t>(rowBytes, 1), 1, height));
        scratch.resize(std::size_t(block * rowBytes));
        for (int y0 = 0; y0 < height; y0 += block) {
            const int n = std::min(block, height - y0);
            if (!src.readRows(y0, n, scratch.data()))
                return false;
            for (std::size_t s = 0; s < lines.size(); ++s) {
                const uint8_t* from = scratch.data() + lines[s] * bpp;
                uint8_t* to = bytes + (int64_t(s) * height + y0) * bpp;
                for (int r = 0; r < n; ++r)
                    std::memcpy(to + r * bpp, from + r * rowBytes, std::size_t(bpp));
            }
        }
    }
    out.sel = sel;
    out.block = std::move(owner);
    out.data = bytes;
    out.kind = kind;
    out.width = width;
    out.height = height;
    return true;
}

int slicesPerBand(int64_t lineBytes, int64_t budget)
{
    if (lineBytes <= 0)
        return INT_MAX;
    return int(std::clamp<int64_t>(budget / lineBytes, 1, INT_MAX));
}

int64_t defaultBandMemory()
{
    QFile f(QStringLiteral("/proc/meminfo"));
    if (f.open(QIODevice::ReadOnly)) {
        // "MemAvailable:   22791124 kB"
        for (QByteArray line = f.readLine(256); !line.isEmpty(); line = f.readLine(256)) {
            if (!line.startsWith("MemAvailable:"))
                continue;
            const int64_t kb = line.mid(13).trimmed().split(' ').value(0).toLongLong();
            if (kb > 0)
                return kb * 1024 / 2;
        }
    }
    return int64_t(1) << 30;
}
