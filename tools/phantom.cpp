#include "tools/phantom.h"

#include "tools/itexwriter.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>

// Shepp-Logan-like head in 3-D (contrast as in the modified 2-D phantom).
static std::vector<Ellipsoid> headParts()
{
    return {
        {0.0, 0.0, 0.0, 0.69, 0.92, 0.90, 0.0, 1.0},
        {0.0, -0.0184, 0.0, 0.6624, 0.874, 0.88, 0.0, -0.8},
        {0.22, 0.0, -0.25, 0.11, 0.31, 0.22, -18.0, -0.2},
        {-0.22, 0.0, -0.25, 0.16, 0.41, 0.21, 18.0, -0.2},
        {0.0, 0.35, -0.25, 0.21, 0.25, 0.50, 0.0, 0.1},
        {0.0, 0.1, -0.25, 0.046, 0.046, 0.046, 0.0, 0.1},
        {0.0, -0.1, -0.25, 0.046, 0.046, 0.046, 0.0, 0.1},
        {-0.08, -0.605, -0.25, 0.046, 0.023, 0.02, 0.0, 0.1},
        {0.0, -0.605, -0.25, 0.023, 0.023, 0.02, 0.0, 0.1},
        {0.06, -0.605, -0.25, 0.023, 0.046, 0.02, 0.0, 0.1},
        {0.06, -0.105, 0.625, 0.056, 0.04, 0.10, 0.0, 0.2},
        {0.0, 0.1, 0.625, 0.056, 0.056, 0.10, 0.0, -0.1},
    };
}

Phantom::Phantom(const PhantomSpec& phantomSpec)
    : s(phantomSpec), parts(headParts())
{
    for (Ellipsoid& e : parts) {
        e.cosPhi = std::cos(e.phiDeg * M_PI / 180.0);
        e.sinPhi = std::sin(e.phiDeg * M_PI / 180.0);
    }
    const double d = acrossAxis();
    const double half = std::floor(std::min(s.cor, d - s.cor - 1.0)) - 1.0;
    radiusPix = std::max(1.0, 0.9 * half);
    axialRadiusPix = std::max(1.0, 0.5 * alongAxis());
}

int Phantom::acrossAxis() const
{
    return s.rotAxisVertical ? s.width : s.height;
}

int Phantom::alongAxis() const
{
    return s.rotAxisVertical ? s.height : s.width;
}

double Phantom::axialPix(double axial) const
{
    return axial - 0.5 * (alongAxis() - 1);
}

double Phantom::theta(int projection) const
{
    return M_PI * projection / s.projections;
}

double Phantom::attenuation(double x, double z, double axial) const
{
    const double a = axialPix(axial) / axialRadiusPix;
    const double xn = x / radiusPix, zn = z / radiusPix;
    double mu = 0.0;
    for (const Ellipsoid& e : parts) {
        const double dx = xn - e.cx, dz = zn - e.cz, da = a - e.ca;
        const double lx = (dx * e.cosPhi + dz * e.sinPhi) / e.sx;
        const double lz = (-dx * e.sinPhi + dz * e.cosPhi) / e.sz;
        const double la = da / e.sa;
        if (lx * lx + lz * lz + la * la < 1.0)
            mu += e.density;
    }
    return mu * s.muScale / radiusPix;
}

double Phantom::lineIntegral(double u, double axial, double theta) const
{
    // Ray points: (x, z) = u (cos t, -sin t) + l (sin t, cos t); the
    // reconstruction maps pixel (x, z) to detector x cos t - z sin t.
    const double c = std::cos(theta), sn = std::sin(theta);
    const double a = axialPix(axial) / axialRadiusPix;
    const double x0 = u * c / radiusPix, z0 = -u * sn / radiusPix;
    double sum = 0.0;
    for (const Ellipsoid& e : parts) {
        const double cp = e.cosPhi, sp = e.sinPhi;
        const double la = (a - e.ca) / e.sa;
        const double rest = 1.0 - la * la;
        if (rest <= 0.0)
            continue;
        const double px = x0 - e.cx, pz = z0 - e.cz;
        const double p1 = (px * cp + pz * sp) / e.sx, p2 = (-px * sp + pz * cp) / e.sz;
        const double d1 = (sn * cp + c * sp) / e.sx, d2 = (-sn * sp + c * cp) / e.sz;
        const double qa = d1 * d1 + d2 * d2;
        const double qb = p1 * d1 + p2 * d2;
        const double qc = p1 * p1 + p2 * p2 - rest;
        const double disc = qb * qb - qa * qc;
        if (disc > 0.0)
            sum += e.density * 2.0 * std::sqrt(disc) / qa; // chord in radius units
    }
    return sum * s.muScale;
}

static uint16_t toCounts(double v)
{
    return uint16_t(std::lround(std::clamp(v, 0.0, 65535.0)));
}

QVector<uint16_t> Phantom::projection(int index) const
{
    const int w = s.width, h = s.height;
    QVector<uint16_t> img(w * h);
    const double th = theta(index);
    std::mt19937 rng(s.seed + 7919u * uint32_t(index + 1));
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int across = s.rotAxisVertical ? x : y;
            const int along = s.rotAxisVertical ? y : x;
            const double mu = lineIntegral(across - s.cor, along, th);
            double counts = s.dark + (flatAt(across) - s.dark) * std::exp(-mu);
            if (s.noise)
                counts += std::sqrt(counts) * gauss(rng);
            img[y * w + x] = toCounts(counts);
        }
    }
    return img;
}

double Phantom::flatAt(int across) const
{
    // Exactly the flat level when there is no tilt.
    return s.flat * (1.0 + s.flatTilt * ((across + 0.5) / acrossAxis() - 0.5));
}

QVector<uint16_t> Phantom::referenceImage(bool flat, uint32_t seedOffset) const
{
    QVector<uint16_t> img(s.width * s.height);
    std::mt19937 rng(s.seed + seedOffset);
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (int i = 0; i < img.size(); ++i) {
        const int across = s.rotAxisVertical ? i % s.width : i / s.width;
        const double level = flat ? flatAt(across) : s.dark;
        img[i] = toCounts(s.noise ? level + std::sqrt(level) * gauss(rng) : level);
    }
    return img;
}

QVector<uint16_t> Phantom::flatImage() const
{
    return referenceImage(true, 1u);
}

QVector<uint16_t> Phantom::darkImage() const
{
    return referenceImage(false, 2u);
}

static QString tagged(const PhantomOutput& out, const QString& stem, int index, const QString& suffix)
{
    QString name = stem;
    if (!out.tag.isEmpty())
        name += QLatin1Char('-') + out.tag;
    if (index >= 0)
        name += QStringLiteral("-%1").arg(index, 5, 10, QLatin1Char('0'));
    return name + suffix;
}

QString phantomProjectionName(const PhantomOutput& out, int index)
{
    return out.sequenceFile ? tagged(out, out.prefix, -1, QStringLiteral(".his"))
                            : tagged(out, out.prefix, index, QStringLiteral(".img"));
}

QString phantomFlatName(const PhantomOutput& out)
{
    return tagged(out, QStringLiteral("flat"), -1, QStringLiteral(".img"));
}

QString phantomDarkName(const PhantomOutput& out)
{
    return tagged(out, QStringLiteral("dark"), -1, QStringLiteral(".img"));
}

// Projections are independent; spread them over the cores. Frames are
// handed to `deliver` in index order in batches, so memory stays bounded.
template <typename Deliver>
static bool renderProjections(const Phantom& ph, int threads, Deliver deliver)
{
    const int n = ph.phantomSpec().projections;
    const int t = std::max(1, threads > 0 ? threads : int(std::thread::hardware_concurrency()));
    const int batch = 4 * t;
    for (int first = 0; first < n; first += batch) {
        const int count = std::min(batch, n - first);
        QVector<QByteArray> frames(count);
        std::atomic<int> next{0};
        auto work = [&]() {
            for (int i = next++; i < count; i = next++)
                frames[i] = itexFrameU16(ph.projection(first + i));
        };
        std::vector<std::thread> pool;
        for (int k = 1; k < std::min(t, count); ++k)
            pool.emplace_back(work);
        work();
        for (auto& th : pool)
            th.join();
        for (int i = 0; i < count; ++i)
            if (!deliver(first + i, frames[i]))
                return false;
    }
    return true;
}

QStringList writePhantomDataSet(const Phantom& phantom, const PhantomOutput& out, QString* error)
{
    const PhantomSpec& s = phantom.phantomSpec();
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return QStringList();
    };
    if (s.width < 1 || s.height < 1 || s.width > 65535 || s.height > 65535 || s.projections < 1)
        return fail(QStringLiteral("image size or projection count out of range"));
    if (out.sequenceFile && s.projections > 65535)
        return fail(QStringLiteral("a sequence file holds at most 65535 frames"));
    QDir dir(out.dir);
    if (!dir.mkpath(QStringLiteral(".")))
        return fail(QStringLiteral("can't create ") + out.dir);

    ItexHeader h;
    h.width = uint16_t(s.width);
    h.height = uint16_t(s.height);
    const QByteArray comment = itexComment(s.width, s.height, out.exposureTime);
    if (out.references
        && (!writeItexFile(dir.filePath(phantomFlatName(out)), h, comment, {itexFrameU16(phantom.flatImage())})
            || !writeItexFile(dir.filePath(phantomDarkName(out)), h, comment, {itexFrameU16(phantom.darkImage())})))
        return fail(QStringLiteral("can't write the reference images in ") + out.dir);

    QStringList written;
    if (out.sequenceFile) {
        h.frameCount = uint16_t(s.projections);
        const QString path = dir.filePath(phantomProjectionName(out, 0));
        QFile f(path);
        bool ok = f.open(QIODevice::WriteOnly | QIODevice::Truncate)
                  && f.write(itexFileHeader(h, int(comment.size()))) == 64 && f.write(comment) == comment.size();
        ok = ok && renderProjections(phantom, out.threads, [&](int i, const QByteArray& frame) {
            return (i == 0 || f.write(QByteArray(64, '\0')) == 64) && f.write(frame) == frame.size();
        });
        f.close();
        if (!ok || f.error() != QFileDevice::NoError)
            return fail(QStringLiteral("can't write ") + path);
        written << path;
        return written;
    }
    const bool ok = renderProjections(phantom, out.threads, [&](int i, const QByteArray& frame) {
        const QString path = dir.filePath(phantomProjectionName(out, i));
        written << path;
        return writeItexFile(path, h, comment, {frame});
    });
    if (!ok)
        return fail(QStringLiteral("can't write ") + written.last());
    return written;
}

QString phantomEnergyTag(double eV)
{
    return QString::number(eV, 'f', 1).replace(QLatin1Char('.'), QLatin1Char('_')) + QStringLiteral("eV");
}

int phantomNearestI0(const PhantomSeries& series, int k)
{
    int best = 0;
    for (int j = 1; j < series.i0Energies.size(); ++j)
        if (std::abs(series.i0Energies[j] - series.energies[k]) < std::abs(series.i0Energies[best] - series.energies[k]))
            best = j;
    return best;
}

// Tilts from -0.2 to +0.2 over the flats, so no two flats share a shape.
PhantomSpec phantomSeriesI0Spec(const PhantomSpec& base, const PhantomSeries& series, int j)
{
    PhantomSpec s = base;
    const int m = int(series.i0Energies.size());
    s.flatTilt = m > 1 ? 0.4 * (double(j) / (m - 1) - 0.5) : 0.0;
    s.seed = base.seed + 101u * uint32_t(j + 1);
    return s;
}

PhantomSpec phantomSeriesSetSpec(const PhantomSpec& base, const PhantomSeries& series, int k)
{
    PhantomSpec s = base;
    s.flatTilt = phantomSeriesI0Spec(base, series, phantomNearestI0(series, k)).flatTilt;
    s.muScale = base.muScale * (1.0 + 0.05 * k);
    s.seed = base.seed + 1009u * uint32_t(k + 1);
    return s;
}

bool writePhantomEnergySeries(const PhantomSpec& base, const PhantomSeries& series, const PhantomOutput& out,
                              QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (series.energies.isEmpty() || series.i0Energies.isEmpty())
        return fail(QStringLiteral("an energy series needs data-set energies and I0 energies"));
    if (out.sequenceFile)
        return fail(QStringLiteral("an energy series is written one file per projection"));
    if (base.width < 1 || base.height < 1 || base.width > 65535 || base.height > 65535)
        return fail(QStringLiteral("image size out of range"));
    const QDir root(out.dir);
    if (!root.mkpath(QStringLiteral("i0")))
        return fail(QStringLiteral("can't create ") + root.filePath(QStringLiteral("i0")));
    ItexHeader h;
    h.width = uint16_t(base.width);
    h.height = uint16_t(base.height);
    const QByteArray comment = itexComment(base.width, base.height, out.exposureTime);
    auto writeImage = [&](const QString& path, const QVector<uint16_t>& img) {
        return writeItexFile(path, h, comment, {itexFrameU16(img)}) || fail(QStringLiteral("can't write ") + path);
    };

    PhantomOutput part = out;
    part.references = false;
    part.prefix = QStringLiteral("i0");
    for (int j = 0; j < series.i0Energies.size(); ++j) {
        part.tag = phantomEnergyTag(series.i0Energies[j]);
        const QString path = root.filePath(QStringLiteral("i0/") + phantomProjectionName(part, 0));
        if (!writeImage(path, Phantom(phantomSeriesI0Spec(base, series, j)).flatImage()))
            return false;
    }
    part.tag.clear();
    if (!writeImage(root.filePath(phantomDarkName(part)), Phantom(base).darkImage()))
        return false;

    part.prefix = out.prefix;
    for (int k = 0; k < series.energies.size(); ++k) {
        const QString tag = phantomEnergyTag(series.energies[k]);
        part.dir = root.filePath(QStringLiteral("data"));
        part.tag = tag;
        if (series.subDirs) {
            part.dir += QLatin1Char('/') + tag.chopped(2);
            part.tag.clear();
        }
        if (writePhantomDataSet(Phantom(phantomSeriesSetSpec(base, series, k)), part, error).isEmpty())
            return false;
    }
    return true;
}
