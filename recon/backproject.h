// Back projection of filtered projections onto the N x N reconstruction grid:
// the plain loop that defines the numbers, and a blocked, vectorised form that
// gives the same bits.
#pragma once

#include "recon/bpkernels.h"

// Calculation region in grid pixels: columns trunc(x0) <= x < x1, rows
// trunc(z0) <= z < z1. Only pixels strictly inside the circle inscribed in the
// grid are ever written, so any region (even NaN or far outside) is safe.
struct CalcRegion {
    double x0 = 0.0;
    double z0 = 0.0;
    double x1 = 0.0;
    double z1 = 0.0;

    static CalcRegion full(int n) { return {0.0, 0.0, double(n), double(n)}; }
};

// Instruction sets the fast loop knows, in increasing order.
enum class BpIsa { Scalar, Avx2, Avx512 };

bool bpIsaAvailable(BpIsa isa);
BpIsa bpBestIsa();
const char* bpIsaName(BpIsa isa);

// Angle of sinogram row i, its cosine and sine. Every back projection takes
// its trigonometry from here so that all paths see the same bits.
double bpAngle(double startAngle, double angleStep, int i);
void bpTrig(double theta, double* c, double* s);

// Pixel (x, z) lies strictly inside the circle of radius h about (h, h).
bool bpInsideCircle(int x, int z, double h);

// One filtered projection q (N values) added into result (row z at
// result + z * n) at angle theta.
void backProjectReference(double* result, int n, const double* q, double theta, const CalcRegion& region);

// Projections q[0 .. count-1] at angles startAngle + (first + k) * angleStep,
// accumulated per pixel in that order; bit-identical to calling the
// reference for k = 0, 1, ... in turn. Each row must be readable kBpPad
// values before and after its N values; what they hold never reaches the
// result.
void backProjectFast(double* result, int n, const double* const* q, int count, int first, double startAngle,
                     double angleStep, const CalcRegion& region, BpIsa isa);
