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

bool pagesFree(const std::shared_ptr<PageBytes>& buffer)
{
    if (buffer.use_count() != 1)
        return false;
    // Pairs with the release of the record's share on the saver thread.
    std::atomic_thread_fence(std::memory_order_acquire);
    return true;
}

namespace {

// The record of bytes that build writes into page memory: *buffer's when no
// record holds it any more, else (and without a buffer) fresh memory, which
// then becomes *buffer.
template <class Build>
SavingData* pagesRecord(const SaveSettings& settings, int sliceNo, std::shared_ptr<PageBytes>* buffer, Build build)
{
    std::shared_ptr<PageBytes> fresh;
    std::shared_ptr<PageBytes>& pages = buffer ? *buffer : fresh;
    if (!pages || !pagesFree(pages))
        pages = std::make_shared<PageBytes>();
    if (!build(pages.get()))
        return nullptr;
    auto* d = new SavingData;
    fillBase(d, settings, sliceNo);
    d->pages = pages;
    return d;
}

} // namespace

SavingData* makeSavingData(const SaveSettings& settings, int sliceNo, const MatrixView& result,
                           const DataRegion& region, const DataLimits& limits, std::shared_ptr<PageBytes>* textBuffer)
{
    return pagesRecord(settings, sliceNo, textBuffer,
                       [&](PageBytes* p) { return buildCtImgDataText(result, region, limits, p); });
}

SavingData* makeSavingTiff(const SaveSettings& settings, int sliceNo, const MatrixView& result, const DataRegion& region,
                           std::shared_ptr<PageBytes>* buffer)
{
    SavingData* d = pagesRecord(settings, sliceNo, buffer, [&](PageBytes* p) { return buildFloatTiff(result, region, p); });
    if (d)
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
