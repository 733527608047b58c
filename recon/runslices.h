// Which slices a reconstruction run reconstructs, and which of them are
// already done. A run may be one part of many (-part K/N, one process per
// part, for instance one Slurm array task each); the part's block of the
// slice list is decided here only, so that everyone who needs to know (the
// scheduler, the loader reading only the lines it needs) agrees.
#pragma once

#include "recon/procparams.h"
#include "recon/savingrecords.h"
#include "recon/slicerange.h"

#include <QString>
#include <QStringList>

#include <optional>

// The K-th (0-based) of N contiguous, balanced blocks of a slice list.
struct SlicePart {
    int index = 0;
    int count = 1;

    // "K/N" with 0 <= K < N, both plain decimal numbers.
    static std::optional<SlicePart> parse(const QString& text);
    QString text() const;
};

// Positions [begin, end) of part's block of a list of `total` items. Block
// sizes differ by at most one; the larger ones come last.
std::pair<qint64, qint64> partBlock(qint64 total, const SlicePart& part);

// The slices the run of p reconstructs in this part, in hand-out order, or
// none. A single-slice run (Auto Exec off, or the interactive panel)
// belongs to part 0.
std::optional<SliceRange> runSlices(const ProcParams& p, const SlicePart& part);

// Where a run saves its results: the choice for images and for data files,
// and the sub-folder rule.
struct ResultPlaces {
    SaveSettings image;
    SaveSettings data;
    bool inSubFolders = true;
    bool ofEnergy = false;
    bool ofSlice = true;
};

// Every file the run saves for the slice; empty when it saves nothing.
QStringList resultFilesOf(int slice, const ResultPlaces& places);
// The files of the slice that are not there; empty also when it saves nothing.
QStringList missingResultsOf(int slice, const ResultPlaces& places);
