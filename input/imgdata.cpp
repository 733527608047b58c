#include "input/imgdata.h"

#include "display/colorscale.h"
#include "input/imgdataitex.h"
#include "input/imgdatatiff.h"

#include <QDebug>
#include <QFile>
#include <QImage>

#include <algorithm>
#include <limits>

ImgData::ImgData() = default;

ImgData::~ImgData() = default;

void ImgData::reset()
{
    ready = false;
    inMemory = true;
    exposureTime = 1.0;
    width = 0;
    height = 0;
    fileName.clear();
    frameIndex = 0;
    minMaxValid = false;
    minValue = std::numeric_limits<double>::max();
    maxValue = std::numeric_limits<double>::lowest();
    lineBuf.clear();
    columnBuf.clear();
    held.clear();
}

bool ImgData::load(int frame)
{
    ready = false;
    // A TIFF's size depends on its page, so the frame is known before the
    // properties are read.
    frameIndex = frame;
    if (!readProps(fileName, width, height))
        return false;
    minMaxValid = false;
    minValue = std::numeric_limits<double>::max();
    maxValue = 0.0;
    if (!openData()) {
        qDebug().noquote() << "Can not open ImgData" << fileName;
        return false;
    }
    lineBuf.assign(std::size_t(width), 0.0);
    columnBuf.assign(std::size_t(height), 0.0);
    ready = true;
    return true;
}

bool ImgData::probe(int frame)
{
    inMemory = false;
    held.clear();
    const bool ok = load(frame);
    releaseFile();
    return ok;
}

int64_t ImgData::heldBytes(const LineSelection& sel) const
{
    return ready ? heldLineBytes(pixelKind(), width, height, sel) : 0;
}

bool ImgData::holdLines(const std::shared_ptr<const LineSelection>& sel, std::vector<uint8_t>& scratch, uint8_t* into,
                        const std::shared_ptr<const uint8_t>& block)
{
    struct Rows : RowSource {
        ImgData& d;
        explicit Rows(ImgData& img) : d(img) {}
        bool readRows(int y0, int rows, uint8_t* dst) override { return d.readRows(y0, rows, dst); }
    } rows(*this);
    return ready && readHeldLines(rows, pixelKind(), width, height, sel, scratch, held, into, block);
}

void ImgData::findMinMax()
{
    if (!ready)
        return;
    double lo = std::numeric_limits<double>::max();
    double hi = std::numeric_limits<double>::lowest();
    for (int y = 0; y < height; ++y) {
        const double* row = getLine(y, lineBuf.data());
        for (int x = 0; x < width; ++x) {
            lo = std::min(lo, row[x]);
            hi = std::max(hi, row[x]);
        }
    }
    minValue = lo;
    maxValue = hi;
    minMaxValid = true;
}

void ImgData::toImage(QImage& target, ColorScale& scale, bool fixedScale)
{
    if (!ready)
        return;
    if (!minMaxValid)
        findMinMax();
    if (!fixedScale) {
        scale.vmin = minValue;
        scale.vmax = maxValue;
    }
    target = QImage(width, height, QImage::Format_Grayscale8);
    if (target.isNull()) {
        qDebug().noquote() << QStringLiteral("Image too large to show (%1 x %2) : %3").arg(width).arg(height).arg(fileName);
        return;
    }
    // Rows of a QImage are padded to 4 bytes, so each row is mapped on its own.
    for (int y = 0; y < height; ++y)
        scale.mapToGrey(getLine(y, lineBuf.data()), std::size_t(width), target.scanLine(y));
}

static bool startsWith(const QString& path, const char* which, const char* a, const char* b = nullptr)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        qDebug().noquote() << QStringLiteral("Check File Type (%1):: Can not open").arg(QLatin1String(which)) << path;
        return false;
    }
    const QByteArray head = f.read(2);
    return head.size() == 2 && (head == a || (b && head == b));
}

bool isItexFile(const QString& path)
{
    return startsWith(path, "ITEX", "IM");
}

bool isTiffFile(const QString& path)
{
    return startsWith(path, "TIFF", "II", "MM");
}

FileType detectFileType(const QString& path)
{
    if (isItexFile(path))
        return FileType::ITEX;
    if (isTiffFile(path))
        return FileType::TIFF;
    qDebug().noquote() << QStringLiteral("Unknown file type : ") + path;
    return FileType::Unknown;
}

ImgData* createImgData(FileType type)
{
    ImgData* d = nullptr;
    switch (type) {
    case FileType::ITEX:
        d = new ImgDataITEX;
        break;
    case FileType::TIFF:
        d = new ImgDataTiff;
        break;
    case FileType::Unknown:
        break;
    }
    if (d)
        d->reset();
    return d;
}

ImgData* loadImgData(const QString& path, int frame, bool inMemory)
{
    ImgData* d = createImgData(detectFileType(path));
    if (!d)
        return nullptr;
    d->fileName = path;
    d->inMemory = inMemory;
    if (d->load(frame))
        return d;
    delete d;
    return nullptr;
}

int imageFrameCount(const QString& path)
{
    const FileType type = detectFileType(path);
    if (type == FileType::ITEX)
        return std::max(ImgDataITEX::sequenceFrames(path), 0);
    if (type == FileType::TIFF)
        return ImgDataTiff::pageCount(path);
    return 0;
}
