#include "recon/runslices.h"

#include "recon/datasaver.h"

#include <QFileInfo>
#include <QRegularExpression>

std::optional<SlicePart> SlicePart::parse(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,9})/(\\d{1,9})$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const SlicePart part{m.captured(1).toInt(), m.captured(2).toInt()};
    if (part.count < 1 || part.index >= part.count)
        return std::nullopt;
    return part;
}

QString SlicePart::text() const
{
    return QStringLiteral("%1/%2").arg(index).arg(count);
}

std::pair<qint64, qint64> partBlock(qint64 total, const SlicePart& part)
{
    // total < 2^31 and count < 10^9: the products stay far inside 64 bits.
    return {total * part.index / part.count, total * (part.index + 1) / part.count};
}

std::optional<SliceRange> runSlices(const ProcParams& p, const SlicePart& part)
{
    if (p.usePanel || (p.useWorkers && !p.autoExec))
        return part.index == 0 ? std::optional(SliceRange{p.slice, p.slice, 1}) : std::nullopt;
    if (!p.useWorkers)
        return std::nullopt;
    const SliceRange all{p.from, p.to, p.step};
    const auto [begin, end] = partBlock(all.count(), part);
    if (begin >= end)
        return std::nullopt;
    const qint64 step = all.count() > 1 ? p.step : 1;
    return SliceRange{int(p.from + begin * step), int(p.from + (end - 1) * step), p.step};
}

QStringList resultFilesOf(int slice, const ResultPlaces& places)
{
    QStringList files;
    const auto add = [&](const SaveSettings& s, const QString& ext) {
        SavingRecord r;
        r.path = s.path;
        r.name = s.name;
        r.tag = s.tag;
        r.sliceNo = SavingRecord::sliceText(slice);
        for (const QString& dir : DataSaver::targetDirs(r, places.inSubFolders, places.ofEnergy, places.ofSlice))
            files << (dir.isEmpty() ? r.fileName(ext) : dir + QLatin1Char('/') + r.fileName(ext));
    };
    if (places.data.enabled) {
        add(places.data, QStringLiteral("dat"));
        if (places.data.tiff)
            add(places.data, QStringLiteral("tif"));
    }
    if (places.image.enabled)
        add(places.image, QStringLiteral("png"));
    return files;
}

QStringList missingResultsOf(int slice, const ResultPlaces& places)
{
    QStringList missing;
    for (const QString& f : resultFilesOf(slice, places))
        if (!QFileInfo(f).isFile())
            missing << f;
    return missing;
}
