#include "recon/ctprogress.h"

void CtProgress::startCalcAll()
{
    emit calcAll();
}

void CtProgress::startCalcOneByOne()
{
    if (index >= count)
        emit finishedCalcOneByOne();
    else
        emit calcOne(index);
}

void CtProgress::calcNext()
{
    ++index;
    if (index >= count)
        emit finishedCalcOneByOne();
    else
        emit calcOne(index);
}
