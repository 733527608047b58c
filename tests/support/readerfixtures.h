// Opening an image reader as the image set does, and reading every pixel
// back through rows and through columns.
#pragma once

#include "input/imgdata.h"

#include <QVector>

#include <memory>

template <class Reader>
std::unique_ptr<Reader> openReader(const QString& path, bool inMemory, int frame = 0)
{
    auto d = std::make_unique<Reader>();
    d->reset();
    d->fileName = path;
    d->inMemory = inMemory;
    d->load(frame);
    return d;
}

// Row-major pixels as getLine (or getColumn) delivers them.
inline QVector<double> pixelsOf(ImgData& d, bool byColumns = false)
{
    QVector<double> out(d.width * d.height);
    std::vector<double> buf(size_t(byColumns ? d.height : d.width));
    for (int i = 0; i < (byColumns ? d.width : d.height); ++i) {
        byColumns ? d.getColumn(i, buf.data()) : d.getLine(i, buf.data());
        for (size_t k = 0; k < buf.size(); ++k)
            out[byColumns ? int(k) * d.width + i : i * d.width + int(k)] = buf[k];
    }
    return out;
}
