#include "view3d/slicedatas.h"

#include "view3d/allcores.h"

#include <QDebug>

#include <algorithm>
#include <cfloat>
#include <thread>

SliceDatas::SliceDatas(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<SliceStackPtr>("SliceStackPtr");
}

bool SliceDatas::fitsInMemory(int width, int height, int files) const
{
    const qint64 available = memoryLimit > 0 ? memoryLimit : availableMemoryBytes();
    const double needed = double(width) * double(height) * double(files) * 8.0;
    if (available < 0 || needed <= double(available))
        return true;
    qDebug().noquote() << QStringLiteral("Slice stack of %1 files of %2 x %3 needs %4 MB, more than the %5 MB available: not loaded")
                              .arg(files).arg(width).arg(height)
                              .arg(qint64(needed / 1048576.0)).arg(available / 1048576);
    return false;
}

void SliceDatas::filesSelected(const QStringList& files)
{
    emit cleared();
    auto stack = std::make_shared<SliceStack>();
    double vmin = DBL_MAX;
    double vmax = -DBL_MAX;
    // Files are parsed a few at a time on all cores and accepted in order,
    // so that a refused stack costs one batch of files, not the whole set.
    const int batch = 2 * std::max(1, int(std::thread::hardware_concurrency()));
    const int n = int(files.size());
    bool refused = false;
    for (int first = 0; first < n && !refused; first += batch) {
        const int last = std::min(n, first + batch);
        std::vector<SliceData> parsed(std::size_t(last - first));
        std::vector<char> ok(parsed.size(), 0);
        forEachOnAllCores(last - first, [&](int i) {
            ok[std::size_t(i)] = readSliceFile(files[first + i], &parsed[std::size_t(i)]);
        });
        for (int i = 0; i < last - first; ++i) {
            SliceData& s = parsed[std::size_t(i)];
            if (!ok[std::size_t(i)])
                continue;
            if (stack->width < 1 && s.width > 0 && s.height > 0) {
                if (!fitsInMemory(s.width, s.height, n)) {
                    refused = true;
                    break;
                }
                stack->width = s.width;
                stack->height = s.height;
            } else if (s.width != stack->width || s.height != stack->height) {
                continue;
            }
            if (!(s.vmax > s.vmin))
                continue; // a constant slice
            vmin = std::min(vmin, s.vmin);
            vmax = std::max(vmax, s.vmax);
            stack->slices.push_back(std::move(s));
            emit loadedNewFile(files[first + i]);
        }
    }
    if (refused) {
        stack = std::make_shared<SliceStack>();
    } else if (!stack->slices.empty()) {
        stack->loaded = true;
        stack->vmin = stack->thresholdLow = vmin;
        stack->vmax = stack->thresholdHigh = vmax;
        stack->makeHistogram();
        stack->makeBricks();
    }
    emit stackUpdated(SliceStackPtr(std::move(stack)));
    emit loadFilesFinished();
}
