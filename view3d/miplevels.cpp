#include "view3d/miplevels.h"

#include "recon/bigbuffer.h"
#include "view3d/allcores.h"
#include "view3d/doubleorder.h"
#include "view3d/mipcaster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <atomic>
#include <limits>
#include <mutex>

MipClasses::MipClasses(const QColor& a, const QColor& b)
{
    const int comps[6] = {a.red(), a.green(), a.blue(), b.red(), b.green(), b.blue()};
    auto shades = [&](double level) {
        std::array<int, 6> s;
        for (int i = 0; i < 6; ++i)
            s[std::size_t(i)] = MipCaster::shadePart(comps[i], level);
        return s;
    };
    // Every component falls with the level, so "differs from the shades at
    // the last step" holds from some level on; the search halves the doubles
    // in their order.
    double at = std::numeric_limits<double>::denorm_min();
    std::array<int, 6> now = shades(at);
    while (shades(255.0) != now) {
        quint64 lo = orderKey(at), hi = orderKey(255.0);
        while (hi - lo > 1) {
            const quint64 mid = lo + (hi - lo) / 2;
            (shades(fromOrderKey(mid)) != now ? hi : lo) = mid;
        }
        at = fromOrderKey(hi);
        steps.push_back(at);
        now = shades(at);
    }
    first.resize(256);
    for (int w = 0; w < 256; ++w)
        first[std::size_t(w)] = int(std::lower_bound(steps.begin(), steps.end(), double(w)) - steps.begin());
}

double MipClasses::levelOf(int c) const
{
    return c <= 1 ? std::numeric_limits<double>::denorm_min() : steps[std::size_t(c - 2)];
}

MipValueClasses::MipValueClasses(const MipClasses& classes, double thMin, double thMax)
{
    const double span = thMax - thMin;
    if (!(std::isfinite(thMin) && std::isfinite(span) && span != 0.0))
        return; // nothing is drawn
    descending = span < 0;
    auto level = [&](double w) { return ((descending ? -w : w) - thMin) / (thMax - thMin) * 256; };
    if (!firstTrue([&](double w) { return level(w) > 0; }, &lo) || !lastTrue([&](double w) { return level(w) <= 255; }, &hi)
        || lo > hi)
        return;
    for (int c = 2; c < classes.count(); ++c) {
        const double step = classes.levelOf(c);
        double w;
        if (firstTrue([&](double x) { return level(x) >= step; }, &w))
            bounds.push_back(w);
    }
    const double width = hi - lo;
    if (std::isfinite(width) && width > 0) {
        cells = 4096;
        perCell = cells / width;
    }
    // A bound lies in the cell its own value maps to; the cells keep the
    // values' order, so the bounds of earlier cells lie below any value here.
    first.assign(std::size_t(cells) + 1, 0);
    for (double b : bounds)
        ++first[std::size_t(std::min(double(cells - 1), (b - lo) * perCell)) + 1];
    for (int c = 0; c < cells; ++c)
        first[std::size_t(c) + 1] += first[std::size_t(c)];
}

MipLevelVolume::~MipLevelVolume()
{
    if (data)
        bigFree(data, bytes);
}

namespace {

// old: the stack's previous classes, whose memory is taken over when no
// picture holds them any more (a fresh 256 MiB costs a fault per page).
std::shared_ptr<MipLevelVolume> classify(const SliceStack& st, double thMin, double thMax, const QColor& a,
                                         const QColor& b, const std::shared_ptr<MipLevelVolume>& old)
{
    const std::size_t plane = std::size_t(std::max(0, st.width)) * std::size_t(std::max(0, st.height));
    if (plane == 0 || st.count() == 0)
        return {};
    for (const SliceData& s : st.slices)
        if (s.width != st.width || s.height != st.height || s.values.size() < plane)
            return {};
    const std::size_t n = plane * std::size_t(st.count());
    // Half of what is free: the picture is a convenience, the stack is not.
    const qint64 available = availableMemoryBytes();
    if (available >= 0 && double(n) * 2 > double(available) / 2)
        return {};
    auto vol = std::make_shared<MipLevelVolume>(a, b);
    vol->bytes = n * sizeof(std::uint16_t);
    if (old && old.use_count() == 1 && old->bytes == vol->bytes)
        std::swap(vol->data, old->data);
    else
        vol->data = static_cast<std::uint16_t*>(bigAlloc(vol->bytes));
    if (!vol->data)
        return {};
    vol->ss = st.count(), vol->sw = st.width, vol->sh = st.height;
    for (int k = 0; k < st.count(); ++k)
        vol->slices.push_back(vol->data + plane * std::size_t(k));
    const MipValueClasses classes(vol->classes, thMin, thMax);
    forEachOnAllCores(st.count(), [&](int k) {
        const double* v = st.slices[std::size_t(k)].values.data();
        std::uint16_t* out = vol->data + plane * std::size_t(k);
        for (std::size_t i = 0; i < plane; ++i)
            out[i] = std::uint16_t(classes.classOf(v[i]));
    });
    return vol;
}

struct CacheEntry {
    CacheEntry(const SliceStackPtr& st, double lo, double hi, QRgb v, QRgb s)
        : stack(st), thMin(lo), thMax(hi), vColor(v), sColor(s)
    {
    }
    std::weak_ptr<const SliceStack> stack;
    double thMin, thMax;
    QRgb vColor, sColor;
    int renders = 0;
    bool refused = false; // no memory, or slices of another size: not tried again
    std::shared_ptr<MipLevelVolume> levels;
    std::shared_ptr<MipLevelVolume> spare; // the classes of earlier thresholds, for their memory
};

std::atomic<MipLevelUse> levelUse{MipLevelUse::Settled};
std::mutex cacheMutex;
std::vector<CacheEntry> cache; // one entry per live stack

} // namespace

void setMipLevelUse(MipLevelUse use)
{
    levelUse = use;
    std::lock_guard<std::mutex> lock(cacheMutex);
    cache.clear();
}

std::shared_ptr<const MipLevelVolume> mipLevelsFor(const SliceStackPtr& stack, double thMin, double thMax,
                                                   const QColor& vColor, const QColor& sColor)
{
    const MipLevelUse use = levelUse;
    if (!stack || use == MipLevelUse::Never)
        return {};
    std::lock_guard<std::mutex> lock(cacheMutex);
    cache.erase(std::remove_if(cache.begin(), cache.end(), [](const CacheEntry& e) { return e.stack.expired(); }),
                cache.end());
    auto e = std::find_if(cache.begin(), cache.end(), [&](const CacheEntry& c) {
        return !c.stack.owner_before(stack) && !stack.owner_before(c.stack);
    });
    if (e == cache.end())
        e = cache.insert(cache.end(), CacheEntry{stack, thMin, thMax, vColor.rgb(), sColor.rgb()});
    if (!(e->thMin == thMin && e->thMax == thMax && e->vColor == vColor.rgb() && e->sColor == sColor.rgb())) {
        std::shared_ptr<MipLevelVolume> spare = e->levels ? std::move(e->levels) : std::move(e->spare);
        *e = CacheEntry{stack, thMin, thMax, vColor.rgb(), sColor.rgb()};
        e->spare = std::move(spare);
    }
    ++e->renders;
    if (!e->levels && !e->refused && (use == MipLevelUse::Always || e->renders >= 2)) {
        e->levels = classify(*stack, thMin, thMax, vColor, sColor, e->spare);
        e->refused = !e->levels;
        e->spare.reset();
    }
    return e->levels;
}
