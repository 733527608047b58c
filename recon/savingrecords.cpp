#include "recon/savingrecords.h"

#include "recon/pngencode.h"
#include "recon/tiffslice.h"

#include <atomic>

namespace {
std::atomic<int> liveRecords{0};

void fillBase(SavingRecord* r, const SaveSettings& s, int sliceNo)
{
    r->path = s.path;
    r->name = s.name;
    r->tag = s.tag;
    r->sliceNo = SavingRecord::sliceText(sliceNo);
}
} // namespace

SavingRecord::SavingRecord()
{
    ++liveRecords;
}

SavingRecord::SavingRecord(const SavingRecord& other)
    : path(other.path), name(other.name), tag(other.tag), sliceNo(other.sliceNo)
{
    ++liveRecords;
}

SavingRecord::~SavingRecord()
{
    --liveRecords;
}

QString SavingRecord::fileName(const QString& ext) const
{
    if (!name.isEmpty())
        return QStringLiteral("%1-%2-%3.%4").arg(name, tag, sliceNo, ext);
    return QStringLiteral("%1-%2.%3").arg(tag, sliceNo, ext);
}

QString SavingRecord::sliceText(int sliceNo)
{
    return QString::asprintf("%05d", sliceNo);
}

int SavingRecord::live()
{
    return liveRecords.load();
}

void registerSavingTypes()
{
    qRegisterMetaType<SavingData*>("SavingData*");
    qRegisterMetaType<SavingImg*>("SavingImg*");
}

SavingData* makeSavingData(const SaveSettings& settings, int sliceNo, const MatrixView& result,
                           const DataRegion& region, const DataLimits& limits, QByteArray* textBuffer)
{
    QByteArray text;
    if (textBuffer) {
        if (!buildCtImgDataText(result, region, limits, textBuffer))
            return nullptr;
        text = *textBuffer;
    } else {
        text = buildCtImgDataText(result, region, limits);
        if (text.isEmpty())
            return nullptr;
    }
    auto* d = new SavingData;
    fillBase(d, settings, sliceNo);
    d->data = std::move(text);
    return d;
}

bool pagesFree(const std::shared_ptr<PageBytes>& buffer)
{
    if (buffer.use_count() != 1)
        return false;
    // Pairs with the release of the record's share on the saver thread.
    std::atomic_thread_fence(std::memory_order_acquire);
    return true;
}

SavingData* makeSavingData(const SaveSettings& settings, int sliceNo, const MatrixView& result,
                           const DataRegion& region, const DataLimits& limits, std::shared_ptr<PageBytes>* textBuffer)
{
    std::shared_ptr<PageBytes>& pages = *textBuffer;
    if (!pages || !pagesFree(pages))
        pages = std::make_shared<PageBytes>();
    if (!buildCtImgDataText(result, region, limits, pages.get()))
        return nullptr;
    auto* d = new SavingData;
    fillBase(d, settings, sliceNo);
    d->pages = pages;
    return d;
}

SavingData* makeSavingTiff(const SaveSettings& settings, int sliceNo, const MatrixView& result, const DataRegion& region,
                           std::shared_ptr<PageBytes>* buffer)
{
    std::shared_ptr<PageBytes> fresh;
    std::shared_ptr<PageBytes>& pages = buffer ? *buffer : fresh;
    if (!pages || !pagesFree(pages))
        pages = std::make_shared<PageBytes>();
    if (!buildFloatTiff(result, region, pages.get()))
        return nullptr;
    auto* d = new SavingData;
    fillBase(d, settings, sliceNo);
    d->pages = pages;
    d->ext = QStringLiteral("tif");
    return d;
}

SavingImg* makeSavingImg(const SaveSettings& settings, int sliceNo, const QImage& image, int pngLevel)
{
    QByteArray png = encodePng(image, pngLevel);
    if (png.isEmpty())
        return nullptr;
    auto* r = new SavingImg;
    fillBase(r, settings, sliceNo);
    r->png = std::move(png);
    return r;
}
