// Feeds arbitrary bytes to the projection readers as a file and uses
// whatever they accept the way the workbench does: rows, columns, extremes,
// the grey picture, the image set, a sinogram and a CoR guess.

#include "display/colorscale.h"
#include "input/imgdata.h"
#include "input/imgdatas.h"
#include "recon/sinogramcore.h"
#include "tests/fuzz/fuzztempfile.h"
#include "tests/support/itexfixture.h"

#include <QImage>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

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
    fuzzQuiet();
    const QString path = fuzzInputFile("itex", data, size);
    if (path.isEmpty())
        return 0;
    // The last byte picks a frame, so that late frames of sequences are read too.
    const int frame = size > 0 ? data[size - 1] % 4 : 0;
    for (bool inMemory : {true, false}) {
        std::unique_ptr<ImgData> d(createImgData(detectFileType(path)));
        if (!d)
            return 0;
        d->fileName = path;
        d->inMemory = inMemory;
        if (d->load(frame))
            exercise(*d);
    }
    ImgDatas set;
    if (!set.add(path, frame) || !set.add(path, 0))
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
        ItexFixture f = itexImage(6, 4, type, QVector<double>(24, 1.0), 0.25);
        f.header.frameCount = uint16_t(frames);
        for (int k = 1; k < frames; ++k)
            f.frames << itexPixels(type, QVector<double>(24, k + 1.0));
        *seeds << f.bytes();
    }
}
