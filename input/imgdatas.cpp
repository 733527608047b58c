#include "input/imgdatas.h"

#include "input/imgdata.h"

#include <QDebug>

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
    ImgData* img = createImgData(detectFileType(filePath));
    if (!img)
        return false;
    img->inMemory = true;
    img->fileName = filePath;
    if (!img->load(idx)) {
        qDebug().noquote() << "File is not ready to access" << filePath;
        delete img;
        return false;
    }
    if (setWidth == 0) {
        setWidth = img->width;
        setHeight = img->height;
    }
    if (setWidth == img->width && setHeight == img->height) {
        images.append(img);
        return true;
    }
    qDebug().noquote() << QStringLiteral("Mismatch image size: (%1, %2) != (%3, %4) : %5")
                              .arg(setWidth).arg(setHeight).arg(img->width).arg(img->height).arg(filePath);
    delete img;
    return false;
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
