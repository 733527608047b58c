// Feeds arbitrary bytes to the projection readers as a file and uses
// whatever they accept the way the workbench does: rows, columns, extremes,
// the grey picture, the image set, a sinogram and a CoR guess.

#include "display/colorscale.h"
#include "input/imgdata.h"
#include "input/imgdatas.h"
#include "recon/sinogramcore.h"
#include "tools/itexwriter.h"

#include <QFile>
#include <QImage>
#include <QtGlobal>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <unistd.h>
#include <vector>

static void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

static const QString& inputPath()
{
    static const QString path = QStringLiteral("/tmp/fenu2-fuzz-itex-%1.bin").arg(getpid());
    return path;
}

static void exercise(ImgData& d)
{
    std::vector<double> row(size_t(d.width) + 1), col(size_t(d.height) + 1);
    for (int y = -1; y <= d.height; ++y)
        d.getLine(y, row.data());
    for (int x = -1; x <= d.width; x += std::max(1, d.width / 7))
        d.getColumn(x, col.data());
    QImage img;
    ColorScale scale;
    d.toImage(img, scale, false);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool init = (qInstallMessageHandler(quiet), true);
    (void)init;
    {
        QFile f(inputPath());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    // The last byte picks a frame, so that late frames of sequences are read too.
    const int frame = size > 0 ? data[size - 1] % 4 : 0;
    for (bool inMemory : {true, false}) {
        std::unique_ptr<ImgData> d(createImgData(detectFileType(inputPath())));
        if (!d)
            return 0;
        d->fileName = inputPath();
        d->inMemory = inMemory;
        if (d->load(frame))
            exercise(*d);
    }
    ImgDatas set;
    if (!set.add(inputPath(), frame) || !set.add(inputPath(), 0))
        return 0;
    for (bool rotAxIsV : {true, false}) {
        const int d = rotAxIsV ? set.width() : set.height();
        HSgm h;
        genSinogram0(h, set, rotAxIsV, 0.5 * d + 0.25, set.height() / 2, {1, 3});
        CorGuessInput in;
        in.rotAxIsV = rotAxIsV;
        in.cor = 0.5 * d;
        in.slice = rotAxIsV ? set.height() / 2 : set.width() / 2;
        double cor = 0;
        guessCor(set, in, &cor);
    }
    return 0;
}

void fenu2FuzzSeeds(QList<QByteArray>* seeds)
{
    for (const auto& [type, frames] : {std::pair{2, 1}, {2, 3}, {1, 1}, {4, 2}}) {
        ItexHeader h;
        h.width = 6;
        h.height = 4;
        h.pixelType = uint16_t(type);
        h.frameCount = uint16_t(frames);
        const QByteArray comment = itexComment(6, 4, 0.25);
        QByteArray file = itexFileHeader(h, int(comment.size())) + comment;
        const int bytes = type == 2 || type == 1 ? 2 : 4;
        for (int f = 0; f < frames; ++f)
            file += (f > 0 ? QByteArray(64, '\0') : QByteArray()) + QByteArray(6 * 4 * bytes, char(f + 1));
        *seeds << file;
    }
}
