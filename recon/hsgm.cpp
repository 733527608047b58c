#include "recon/hsgm.h"

#include <algorithm>
#include <cmath>

SgmGeom SgmGeom::make(bool rotAxIsV, int d, double cor)
{
    SgmGeom g;
    g.rotAxIsV = rotAxIsV;
    g.cor = cor;
    g.half = int(std::floor(std::min(cor, double(d) - cor - 1.0)));
    g.width = 2 * g.half - 1;
    g.corInt = int(std::floor(cor));
    g.corFrac = cor - std::floor(cor);
    return g;
}

bool SgmGeom::corAccepted(int d, double cor)
{
    // NaN fails both tests.
    return std::floor(cor) > 0.0 && std::ceil(cor) < double(d);
}

void HSgm::clear()
{
    sgm.clear();
    raw.clear();
    width = 0;
    rows = 0;
}

void HSgm::resize(int rowCount, int w, bool withRaw)
{
    rows = std::max(0, rowCount);
    width = std::max(0, w);
    const std::size_t n = std::size_t(rows) * std::size_t(width);
    sgm.assign(n, 0.0);
    if (withRaw)
        raw.assign(n, 0.0);
    else
        raw.clear();
}
