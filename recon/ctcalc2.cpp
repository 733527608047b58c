#include "recon/ctcalc2.h"

#include "input/imgdatas.h"
#include "recon/procparams.h"
#include "recon/sinogramcore.h"

#include <QMetaMethod>

CtCalc2::CtCalc2(QObject* parent) : QObject(parent)
{
    registerSavingTypes();
    qRegisterMetaType<ColorScale>("ColorScale");
    // Every start request crosses to the workers' threads with this.
    qRegisterMetaType<CtCalc2*>("CtCalc2*");
}

void CtCalc2::beginingCt()
{
    busy = true;
    emit sliceStarted(curSlice, QDateTime::currentDateTime());
}

void CtCalc2::endingCt()
{
    busy = false;
    emit sliceEnded(QDateTime::currentDateTime());
    emit calcFinished();
}

void CtCalc2::startCt(CtCalc2* ctc2, bool rotAxIsV, double cor, int slice, bool genAndDispImage)
{
    if (ctc2 != this || busy)
        return;
    genAndDisp = genAndDispImage;
    curSlice = slice;
    beginingCt();
    // Nothing of the previous slice may survive under this slice's number:
    // the sinogram is emptied for a refused CoR and runAll clears the result.
    imageReady = false;
    resultValid = false;
    if (set && params)
        genSinogram0(sgm, *set, rotAxIsV, cor, slice,
                     SgmRange::of(params->usePartialDataSet, params->startImage, params->usingImages, set->count()),
                     false);
    else
        sgm.clear();
    const int n = CtFft::gridSizeFor(sgm.width);
    if (!sgm.isEmpty() && n >= 2) {
        if (!regionSet) {
            region = CalcRegion::full(n);
            regionSet = true;
            emit calcRegionInitialised(region.x0, region.z0, region.x1, region.z1);
        }
        // A sinogram of another width (a CoR that follows the recorded law)
        // re-sizes the engine here, on this thread, under the engine's lock.
        resultValid = fft.runAll(sgm, *params, region);
        if (resultValid) {
            if (genAndDisp)
                genResImage();
            if (saveImg.enabled)
                saveImage();
            if (saveDat.enabled)
                saveData();
            if (imageReady)
                emit ctImage(curSlice, image);
        }
    }
    emit sliceDone(curSlice, resultValid ? fft.lastBackProjectSeconds() : 0.0);
    endingCt();
}

void CtCalc2::genResImage()
{
    if (!resultValid)
        return;
    if (!fixedScale) {
        scale.vmin = fft.min();
        scale.vmax = fft.max();
    }
    image = makeResImage(fft.result().data(), fft.n(), scale);
    imageReady = !image.isNull();
    emit resImageUpdated(image, scale.vmin, scale.vmax, !fixedScale, genAndDisp);
}

void CtCalc2::saveImage()
{
    if (!imageReady)
        genResImage();
    if (!imageReady)
        return;
    SavingImg* r = makeSavingImg(saveImg, curSlice, image, pngLevel);
    if (!r)
        return;
    if (isSignalConnected(QMetaMethod::fromSignal(&CtCalc2::saveImgWDiscard)))
        emit saveImgWDiscard(r);
    else
        delete r;
}

void CtCalc2::saveData()
{
    if (!resultValid || !params)
        return;
    const MatrixView m{fft.result().data(), fft.n(), fft.n()};
    const DataRegion r{region.x0, region.z0, region.x1, region.z1};
    const DataLimits l{params->upperLimit, params->lowerLimit, params->offset};
    SavingData* d = makeSavingData(saveDat, curSlice, m, r, l, freeBuffer(dataTexts));
    if (!d)
        return;
    SavingData* t = saveDat.tiff ? makeSavingTiff(saveDat, curSlice, m, r, freeBuffer(tiffs)) : nullptr;
    for (SavingData* rec : {d, t}) {
        if (rec && isSignalConnected(QMetaMethod::fromSignal(&CtCalc2::saveDataWDiscard)))
            emit saveDataWDiscard(rec);
        else
            delete rec;
    }
}

std::shared_ptr<PageBytes>* CtCalc2::freeBuffer(Buffers& set)
{
    // One the saver has let go of, else the older one (which the builder
    // then replaces in turn).
    std::size_t pick = set.next;
    for (std::size_t i = 0; i < set.pages.size(); ++i)
        if (set.pages[i] && set.pages[i]->capacity() > 0 && pagesFree(set.pages[i]))
            pick = i;
    set.next = (pick + 1) % set.pages.size();
    return &set.pages[pick];
}

void CtCalc2::setSaveImage(bool f, QString path, QString name, QString tag)
{
    saveImg = SaveSettings{f, path, name, tag};
}

void CtCalc2::setSaveData(bool f, QString path, QString name, QString tag, bool tiff)
{
    saveDat = SaveSettings{f, path, name, tag, tiff};
}

void CtCalc2::setupFft(int n, int p)
{
    if (n >= 2)
        fft.setup(n, p);
}

void CtCalc2::setCalcRegion(double rx0, double rz0, double rx1, double rz1)
{
    region = CalcRegion{rx0, rz0, rx1, rz1};
    regionSet = true;
}

void CtCalc2::setColorScale(ColorScale cs, bool fixed, bool redraw)
{
    scale = cs;
    fixedScale = fixed;
    if (!redraw || !resultValid)
        return;
    // The user's new range stays; only the picture follows it.
    image = makeResImage(fft.result().data(), fft.n(), scale);
    imageReady = !image.isNull();
    emit resImageUpdated(image, scale.vmin, scale.vmax, false, true);
}

void CtCalc2::askValueAt(double x, double z)
{
    const int n = resultValid ? fft.n() : 0;
    const bool inside = x >= 0.0 && z >= 0.0 && x < n && z < n;
    const double v = inside ? fft.resultRow(int(z))[int(x)] : 0.0;
    emit valueAt(x, z, v, inside);
}
