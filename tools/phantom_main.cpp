// fenu2-phantom: writes an ITEX data set of a 3-D phantom (projections over
// 180 degrees, a flat and a dark image) for demonstrations and tests.

#include "tools/phantom.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

static bool energyList(const QString& text, QVector<double>* values)
{
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        values->append(item.trimmed().toDouble(&ok));
        if (!ok)
            return false;
    }
    return !values->isEmpty();
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("fenu2-phantom"));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Writes projections of a 3-D Shepp-Logan-like phantom as ITEX files "
        "(16-bit unsigned), with a flat image (flat.img) and a dark image (dark.img)."));
    p.addHelpOption();
    const QCommandLineOption width({"W", "width"}, "Image width in pixels.", "pixels", "512");
    const QCommandLineOption height({"H", "height"}, "Image height in pixels.", "pixels", "512");
    const QCommandLineOption projections({"n", "projections"}, "Projections over 180 degrees.", "count", "360");
    const QCommandLineOption cor({"c", "cor"}, "Centre of rotation in pixels (fractional allowed); "
                                 "default the middle of the detector.", "pixels");
    const QCommandLineOption axis({"a", "axis"}, "Rotation axis: v (vertical) or h (horizontal).", "v|h", "v");
    const QCommandLineOption outDir({"o", "out"}, "Output directory (created if missing).", "dir", "phantom");
    const QCommandLineOption prefix("prefix", "Projection file name prefix.", "text", "proj");
    const QCommandLineOption tag("tag", "Tag inserted into every file name, e.g. an energy 7112_5eV.", "text");
    const QCommandLineOption his("his", "Write one multi-frame .his file instead of one .img per projection.");
    const QCommandLineOption noise("noise", "Add Poisson-like noise (fixed seed).");
    const QCommandLineOption seed("seed", "Noise seed.", "number", "1");
    const QCommandLineOption flat("flat", "Flat (I0) level in counts.", "counts", "40000");
    const QCommandLineOption dark("dark", "Dark (BG) level in counts.", "counts", "100");
    const QCommandLineOption mu("mu", "Attenuation of density 1 over one phantom radius.", "value", "3");
    const QCommandLineOption exposure("exposure", "Exposure time written into the files, seconds.", "s", "1");
    const QCommandLineOption threads("threads", "Threads to use (0: all).", "count", "0");
    const QCommandLineOption energies("energies", "Write an energy series instead of one data set: data sets at "
                                      "these energies (eV, comma-separated) in <out>/data, named "
                                      "<prefix>-<E>eV-<index>.img, with the I0 files in <out>/i0 and dark.img.",
                                      "list");
    const QCommandLineOption i0Energies("i0-energies", "Energies (eV, comma-separated) of the I0 files of a series, "
                                        "each with a flat shape of its own.", "list");
    const QCommandLineOption subDirs("subdirs", "Series: put each data set into a sub-directory named by its energy.");
    p.addOptions({width, height, projections, cor, axis, outDir, prefix, tag, his, noise, seed, flat, dark, mu,
                  exposure, threads, energies, i0Energies, subDirs});
    p.process(app);

    QTextStream err(stderr);
    PhantomSpec s;
    s.width = p.value(width).toInt();
    s.height = p.value(height).toInt();
    s.projections = p.value(projections).toInt();
    const QString ax = p.value(axis).toLower();
    if (ax != QLatin1String("v") && ax != QLatin1String("h")) {
        err << "fenu2-phantom: --axis must be v or h\n";
        return 2;
    }
    s.rotAxisVertical = ax == QLatin1String("v");
    const int across = s.rotAxisVertical ? s.width : s.height;
    s.cor = p.isSet(cor) ? p.value(cor).toDouble() : 0.5 * (across - 1);
    s.flat = p.value(flat).toDouble();
    s.dark = p.value(dark).toDouble();
    s.muScale = p.value(mu).toDouble();
    s.noise = p.isSet(noise);
    s.seed = p.value(seed).toUInt();
    if (s.cor < 3 || s.cor > across - 4) {
        err << "fenu2-phantom: the centre of rotation must lie inside the detector\n";
        return 2;
    }

    PhantomOutput out;
    out.dir = p.value(outDir);
    out.prefix = p.value(prefix);
    out.tag = p.value(tag);
    out.sequenceFile = p.isSet(his);
    out.exposureTime = p.value(exposure).toDouble();
    out.threads = p.value(threads).toInt();

    QString error;
    if (p.isSet(energies)) {
        PhantomSeries series;
        if (!energyList(p.value(energies), &series.energies) || !energyList(p.value(i0Energies), &series.i0Energies)) {
            err << "fenu2-phantom: --energies and --i0-energies take comma-separated numbers\n";
            return 2;
        }
        series.subDirs = p.isSet(subDirs);
        if (!writePhantomEnergySeries(s, series, out, &error)) {
            err << "fenu2-phantom: " << error << "\n";
            return 1;
        }
        QTextStream(stdout) << "wrote " << series.energies.size() << " data sets and " << series.i0Energies.size()
                            << " I0 files into " << out.dir << "\n";
        return 0;
    }
    const QStringList files = writePhantomDataSet(Phantom(s), out, &error);
    if (files.isEmpty()) {
        err << "fenu2-phantom: " << error << "\n";
        return 1;
    }
    QTextStream(stdout) << "wrote " << s.projections << " projections of " << s.width << " x " << s.height
                        << " (CoR " << s.cor << ", axis " << (s.rotAxisVertical ? "vertical" : "horizontal")
                        << ") into " << out.dir << "\n";
    return 0;
}
