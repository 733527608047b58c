// CT-XAFS: the X-ray energy encoded in a data file name, and the choice of
// the I0 file nearest in energy to a data set.
#pragma once

#include <QString>
#include <QVector>

// An energy field of a name such as "7112_5eV" or "7.1125keV": the text up
// to its last digit, with "_" read as the decimal point, and the unit after
// it. ok is false when that text does not read as a number.
struct EnergyField {
    double value = 0.0;
    QString unit;
    bool ok = false;
    // 1000 for keV (any case), else 1, so that value * factor is in eV.
    double factor() const;
};
EnergyField parseEnergyField(const QString& field);

// Energy in eV of a name like ".../scan-7112_5eV-0001.img" (or
// "-7.1125keV-"): the second-to-last dash-separated field, its number up to
// the last digit with "_" read as the decimal point, times 1000 when the
// unit after the number is keV (any case). 0 when there is no number.
double energyFromFileName(const QString& name);

// Index of the energy nearest to e; on a tie the earlier entry; 0 for an
// empty list.
int nearestEnergyIndex(const QVector<double>& energies, double e);
