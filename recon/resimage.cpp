#include "recon/resimage.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

// Pixel memory of result pictures that nobody holds any more, for the next
// ones: a slice's picture goes to the panel and is let go of later on another
// thread, so a worker can't keep its own, and fresh memory costs a fault per
// 4 KiB page.
class PixelPool
{
public:
    static constexpr std::size_t kHeader = 64; // the block's size, keeping the pixels aligned

    // Pixels for `bytes`, behind their block's header; null when memory runs out.
    unsigned char* take(std::size_t bytes)
    {
        {
            std::lock_guard<std::mutex> lock(m);
            for (std::size_t i = 0; i < blocks.size(); ++i) {
                if (sizeOf(blocks[i]) == bytes) {
                    unsigned char* b = blocks[i];
                    blocks.erase(blocks.begin() + std::ptrdiff_t(i));
                    return b + kHeader;
                }
            }
        }
        auto* b = static_cast<unsigned char*>(std::malloc(kHeader + bytes));
        if (!b)
            return nullptr;
        *reinterpret_cast<std::size_t*>(b) = bytes;
        return b + kHeader;
    }

    static void giveBack(void* block)
    {
        PixelPool& p = instance();
        auto* b = static_cast<unsigned char*>(block);
        {
            std::lock_guard<std::mutex> lock(p.m);
            if (p.blocks.size() < kKept) {
                p.blocks.push_back(b);
                return;
            }
        }
        std::free(b);
    }

    static PixelPool& instance()
    {
        // Never destroyed: a picture may be let go of while the program exits.
        static PixelPool* pool = new PixelPool;
        return *pool;
    }

private:
    static constexpr std::size_t kKept = 8;
    static std::size_t sizeOf(const unsigned char* block) { return *reinterpret_cast<const std::size_t*>(block); }

    std::mutex m;
    std::vector<unsigned char*> blocks;
};

} // namespace

QImage makeResImage(const double* result, int n, const ColorScale& scale)
{
    if (!result || n <= 0)
        return QImage();
    const qsizetype stride = (qsizetype(n) + 3) / 4 * 4;
    const std::size_t bytes = std::size_t(stride) * std::size_t(n);
    unsigned char* pixels = PixelPool::instance().take(bytes);
    if (!pixels)
        return QImage();
    void* block = pixels - PixelPool::kHeader;
    QImage img(pixels, n, n, stride, QImage::Format_Grayscale8, PixelPool::giveBack, block);
    if (img.isNull()) {
        PixelPool::giveBack(block);
        return img;
    }
    for (int z = 0; z < n; ++z)
        scale.mapToGrey(result + std::size_t(z) * std::size_t(n), std::size_t(n),
                        reinterpret_cast<uint8_t*>(img.scanLine(z)));
    return img;
}
