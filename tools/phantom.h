// A 3-D phantom of stacked ellipsoids (Shepp-Logan-like in every slice) and
// its exact parallel-beam projections, for demo data and test fixtures.
#pragma once

#include <QString>
#include <QVector>

#include <cstdint>
#include <vector>

struct PhantomSpec {
    int width = 512;            // projection image width in pixels
    int height = 512;           // projection image height in pixels
    int projections = 360;      // over 180 degrees, theta_i = i * pi / projections
    double cor = 255.5;         // centre of rotation, detector pixels across the axis
    bool rotAxisVertical = true;
    double flat = 40000.0;      // counts without sample
    double flatTilt = 0.0;      // relative change of the flat level across the axis, edge to edge
    double dark = 100.0;        // counts without beam
    double muScale = 3.0;       // attenuation of density 1 over one phantom radius
    bool noise = false;         // Poisson-like noise
    uint32_t seed = 1;
};

struct Ellipsoid {
    // Centre and semi-axes in units of the phantom radius; x and z lie in the
    // slice plane (x along the grid columns, z along the grid rows), a along
    // the rotation axis. phi turns the ellipsoid in the slice plane.
    double cx, cz, ca;
    double sx, sz, sa;
    double phiDeg;
    double density; // added where the ellipsoid is
    double cosPhi = 1.0, sinPhi = 0.0;
};

class Phantom
{
public:
    explicit Phantom(const PhantomSpec& phantomSpec);

    const PhantomSpec& phantomSpec() const { return s; }
    int acrossAxis() const;  // detector pixels across the rotation axis
    int alongAxis() const;   // detector pixels along it
    double radius() const { return radiusPix; }

    // Attenuation per pixel at a point: x, z in pixels from the rotation axis
    // in the slice plane (x = grid column - centre, z = grid row - centre),
    // axial the detector line along the axis (row for a vertical axis).
    double attenuation(double x, double z, double axial) const;

    // Integral of the attenuation along the ray that meets detector position
    // u (pixels from the CoR) on line `axial` at angle theta.
    double lineIntegral(double u, double axial, double theta) const;

    double theta(int projection) const;

    // Counts of one projection, row after row, width x height.
    QVector<uint16_t> projection(int index) const;
    QVector<uint16_t> flatImage() const;
    QVector<uint16_t> darkImage() const;
    // Flat level (counts) at a detector position across the axis.
    double flatAt(int across) const;

private:
    double axialPix(double axial) const;
    QVector<uint16_t> referenceImage(bool flat, uint32_t seedOffset) const;

    PhantomSpec s;
    std::vector<Ellipsoid> parts;
    double radiusPix;
    double axialRadiusPix;
};

struct PhantomOutput {
    QString dir;
    QString prefix = QStringLiteral("proj");
    QString tag;           // optional name tag, e.g. an energy "7112_5eV"
    bool sequenceFile = false; // one .his with every projection
    bool references = true;    // also write the flat and the dark image
    double exposureTime = 1.0;
    int threads = 0;       // 0: every hardware thread
};

// Writes flat, dark and projections into out.dir (created if missing).
// Returns the projection file paths in order; empty on failure.
QStringList writePhantomDataSet(const Phantom& phantom, const PhantomOutput& out, QString* error = nullptr);

// File names the writer uses.
QString phantomProjectionName(const PhantomOutput& out, int index);
QString phantomFlatName(const PhantomOutput& out);
QString phantomDarkName(const PhantomOutput& out);

// A CT-XAFS energy series: one data set per energy and flat images at other
// energies, each flat with a shape of its own. Set k is taken with the flat
// shape of the flat nearest in energy (the earlier one on a tie) and an
// attenuation scaled by 1 + 0.05 k, so that every set differs and a set
// normalised with the wrong flat shows it. Under out.dir:
//   data/<prefix>-<E>-<index>.img (or data/<E number>/<prefix>-<index>.img),
//   i0/i0-<E>-00000.img, dark.img      with <E> as in phantomEnergyTag.
struct PhantomSeries {
    QVector<double> energies;   // eV, one data set each
    QVector<double> i0Energies; // eV, one flat image each
    bool subDirs = false;       // each set in a sub-directory named by its energy
};

bool writePhantomEnergySeries(const PhantomSpec& base, const PhantomSeries& series, const PhantomOutput& out,
                              QString* error = nullptr);
// "7112_5eV" for 7112.5: one decimal, "_" for the point.
QString phantomEnergyTag(double eV);
// The phantom parameters of set k and of flat image j of a series.
PhantomSpec phantomSeriesSetSpec(const PhantomSpec& base, const PhantomSeries& series, int k);
PhantomSpec phantomSeriesI0Spec(const PhantomSpec& base, const PhantomSeries& series, int j);
int phantomNearestI0(const PhantomSeries& series, int k);
