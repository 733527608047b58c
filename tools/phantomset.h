// A phantom data set written to a temporary folder and loaded into an image
// set with its flat and dark images as I0 and BG, as the main window's
// loader and reference panels would. Header-only: only code that links the
// input layer includes it (tests and benchmarks).
#pragma once

#include "input/imgdata.h"
#include "input/imgdatas.h"
#include "tools/phantom.h"

#include <QTemporaryDir>

#include <memory>

// across: detector pixels across the axis, along: along it.
inline PhantomSpec phantomModel(bool rotAxIsV, int across, int along, int projections, double cor)
{
    PhantomSpec s;
    s.rotAxisVertical = rotAxIsV;
    s.width = rotAxIsV ? across : along;
    s.height = rotAxIsV ? along : across;
    s.projections = projections;
    s.cor = cor;
    return s;
}

struct PhantomSet {
    QTemporaryDir dir;
    std::unique_ptr<ImgData> flat;
    std::unique_ptr<ImgData> dark;
    ImgData* flatSlot = nullptr;
    ImgData* darkSlot = nullptr;

    // Loads every projection (in memory) into set and points its I0 and BG
    // handles at this object's flat and dark images (streamed if asked).
    bool load(ImgDatas& set, const PhantomSpec& ps, bool referencesInMemory = true)
    {
        PhantomOutput out;
        out.dir = dir.filePath(QStringLiteral("data"));
        out.sequenceFile = true;
        const Phantom phantom(ps);
        const QStringList files = writePhantomDataSet(phantom, out);
        if (files.size() != 1)
            return false;
        set.clear();
        for (int k = 0; k < ps.projections; ++k)
            if (!set.add(files.first(), k))
                return false;
        flat.reset(loadImgData(QDir(out.dir).filePath(phantomFlatName(out)), 0, referencesInMemory));
        dark.reset(loadImgData(QDir(out.dir).filePath(phantomDarkName(out)), 0, referencesInMemory));
        if (!flat || !dark)
            return false;
        flatSlot = flat.get();
        darkSlot = dark.get();
        set.setI0Handle(&flatSlot);
        set.setBgHandle(&darkSlot);
        return true;
    }
};
