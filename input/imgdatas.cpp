#include "input/imgdatas.h"

#include "input/imgdata.h"

#include <QDebug>

#include <algorithm>
#include <atomic>
#include <thread>

ImgDatas::ImgDatas(QObject* parent)
    : QObject(parent)
{
}

ImgDatas::~ImgDatas()
{
    clearImgs();
}

bool ImgDatas::add(const QString& filePath, int idx)
{
    std::unique_ptr<ImgData> img = openFrame(filePath, idx, linesOnly);
    return img && append(std::move(img));
}

std::unique_ptr<ImgData> ImgDatas::openFrame(const QString& filePath, int idx, bool linesOnly, bool knownItex)
{
    std::unique_ptr<ImgData> img(createImgData(knownItex ? FileType::ITEX : detectFileType(filePath)));
    if (!img)
        return nullptr;
    img->inMemory = true;
    img->fileName = filePath;
    if (!(linesOnly ? img->probe(idx) : img->load(idx))) {
        qDebug().noquote() << "File is not ready to access" << filePath;
        return nullptr;
    }
    return img;
}

bool ImgDatas::append(std::unique_ptr<ImgData> img)
{
    if (setWidth == 0) {
        setWidth = img->width;
        setHeight = img->height;
    }
    if (setWidth == img->width && setHeight == img->height) {
        images.append(img.release());
        return true;
    }
    qDebug().noquote() << QStringLiteral("Mismatch image size: (%1, %2) != (%3, %4) : %5")
                              .arg(setWidth).arg(setHeight).arg(img->width).arg(img->height).arg(img->fileName);
    return false;
}

bool ImgDatas::holdLines(bool rows, const std::vector<int>& lines)
{
    dropLines();
    if (images.isEmpty())
        return true;
    const auto sel = LineSelection::make(rows, lines, rows ? setHeight : setWidth);
    // The lines of every frame in one block: fresh memory costs a fault a
    // page, which took longer than the reading itself.
    std::vector<int64_t> at(std::size_t(images.size()) + 1, 0);
    for (int i = 0; i < images.size(); ++i)
        at[std::size_t(i) + 1] = at[std::size_t(i)] + images.at(i)->heldBytes(*sel);
    const std::shared_ptr<uint8_t> block = heldLineBlock(std::size_t(at.back()));
    // Several reads in flight keep the disk busy; the frames are claimed
    // one by one so that a slow file holds up only its own thread.
    const int threads = std::clamp(int(std::thread::hardware_concurrency()), 2, 8);
    std::atomic<int> next{0};
    std::atomic<int> failed{0};
    std::atomic<int> firstFailed{-1};
    const auto work = [&] {
        std::vector<uint8_t> scratch;
        for (int i = next++; i < images.size(); i = next++) {
            uint8_t* into = block ? block.get() + at[std::size_t(i)] : nullptr;
            if (images.at(i)->holdLines(sel, scratch, into, block))
                continue;
            ++failed;
            int f = firstFailed.load();
            while ((f < 0 || i < f) && !firstFailed.compare_exchange_weak(f, i)) {
            }
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread& t : pool)
        t.join();
    if (failed == 0)
        return true;
    qDebug().noquote() << QStringLiteral("Can not read the detector lines of %1 of %2 images (first: %3)")
                              .arg(failed.load()).arg(images.size()).arg(images.at(firstFailed)->fileName);
    dropLines();
    return false;
}

void ImgDatas::dropLines()
{
    for (ImgData* img : std::as_const(images))
        img->dropLines();
}

qint64 ImgDatas::lineBytes(bool rows) const
{
    qint64 sum = 0;
    for (const ImgData* img : images)
        sum += qint64(rows ? setWidth : setHeight) * pixelBytes(img->pixelKind());
    return sum;
}

bool ImgDatas::renderImage(int idx, QImage& target, ColorScale& scale, bool fixedScale)
{
    ImgData* img = image(idx);
    if (!img)
        return false;
    img->toImage(target, scale, fixedScale);
    emit imageUpdated();
    return true;
}

static ImgData* readyIn(ImgData** slot)
{
    return slot && *slot && (*slot)->ready ? *slot : nullptr;
}

ImgData* ImgDatas::i0() const
{
    return readyIn(i0Image);
}

ImgData* ImgDatas::bg() const
{
    return readyIn(bgImage);
}

void ImgDatas::clear()
{
    clearImgs();
    setWidth = 0;
    setHeight = 0;
}

void ImgDatas::clearImgs()
{
    qDeleteAll(images);
    images.clear();
}
