// The main window's loader, which fills the image set one file per
// event-loop turn, the raw-image display with its overlay and clicks, and
// the CT-XAFS I0 file list.
#include "mainwindow/body.h"

#include "display/chcoord.h"
#include "display/widgets/colorbar.h"
#include "display/widgets/dispb.h"
#include "display/widgets/rawdisp.h"
#include "input/frameloader.h"
#include "input/imgdata.h"
#include "input/imgdatas.h"
#include "input/widgets/selectaimgfile.h"
#include "input/widgets/selectdatafiles.h"
#include "input/xafsenergy.h"
#include "mainwindow/framing/popdockbase.h"
#include "mainwindow/framing/seekctrl.h"
#include "recon/widgets/ctcalc.h"
#include "recon/widgets/procctrl.h"
#include "recon/widgets/sinogram.h"
#include "ui_Body.h"

#include <QApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

namespace {

// A turn of the event loop spends at most this long taking the frames the
// reader threads have finished, so that the window stays responsive while
// it loads.
constexpr qint64 loadTurnMs = 20;
// ... and takes at most this many files, so that the progress shows.
constexpr int filesPerTurn = 16;

} // namespace

void Body::dataFilesSelected(QStringList files, bool clear)
{
    // Workers read the image set during a run; a new set waits for its end.
    if (scheduler->holdsImageSet()) {
        if (clear || !deferredLoad) {
            deferredFiles = files;
            deferredClear = clear;
        } else {
            deferredFiles << files;
        }
        deferredLoad = true;
        qDebug().noquote() << "The images are loaded when the reconstruction run has ended";
        return;
    }
    if (clear) {
        // A new data set may have another image size.
        imgDatas->clear();
        ui->seekCtrl->setMaximum(0);
        rawDisp->setViewUnset();
        shownRawIndex = -1;
    }
    pendingFiles = files;
    nextPending = 0;
    // Frames the readers had finished of the previous list are dropped.
    frameLoader->start(files, imgDatas->isLinesOnly());
    qDebug().noquote() << "data file selected";
    showLoadProgress();
    // One chain of loading turns at a time: a selection made while one
    // runs hands it the new list.
    if (!loading) {
        loading = true;
        scheduler->loadBegun();
        emit askLoadNextDataFile();
    }
}

void Body::startDeferredLoad()
{
    if (!deferredLoad || scheduler->holdsImageSet())
        return;
    deferredLoad = false;
    const QStringList files = deferredFiles;
    deferredFiles.clear();
    dataFilesSelected(files, deferredClear);
}

void Body::loadNextDataFile()
{
    QElapsedTimer turn;
    turn.start();
    QStringList names;
    for (int n = 0; n < filesPerTurn && nextPending < pendingFiles.size(); ++n) {
        const qint64 left = loadTurnMs - turn.elapsed();
        std::optional<FrameLoader::File> f = frameLoader->takeNext(int(std::max<qint64>(left, 0)));
        if (!f)
            break;
        ++nextPending;
        currentFile = f->path;
        for (std::size_t k = 0; k < f->frames.size(); ++k) {
            if (f->frames[k] && imgDatas->append(std::move(f->frames[k])))
                names << (f->sequence ? QStringLiteral("%1(%2)").arg(f->path).arg(k) : f->path);
        }
    }
    ui->CTFiles->addFiles(names);
    showLoadProgress();
    if (nextPending >= pendingFiles.size())
        emit noticeFinishedLoadDataFiles();
    else
        emit askLoadNextDataFile();
}

void Body::loadNextMultiData(int)
{
    // The reader threads read a sequence file's frames together.
    loadNextDataFile();
}

void Body::showLoadProgress()
{
    ui->LoadingMsg->setText(loading && !pendingFiles.isEmpty()
                                ? tr("Loading %1 / %2").arg(nextPending).arg(pendingFiles.size())
                                : QString());
}

void Body::finishedLoadDataFiles()
{
    // A selection made after the last file was taken continues the chain.
    if (nextPending < pendingFiles.size()) {
        emit askLoadNextDataFile();
        return;
    }
    loading = false;
    frameLoader->cancel();
    currentFile.clear();
    showLoadProgress();
    if (imgDatas->count() > 0)
        applyNewSetConditions();
    emit finishedLoadingCTFiles();
    scheduler->loadEnded();
    // A command that started the load has held its batch until now.
    if (batchLoadRunning) {
        batchLoadRunning = false;
        emit callBatchCheckEnd();
    }
    checkBatchEnd();
}

void Body::applyNewSetConditions()
{
    const bool keep = ui->CTFiles->keepConditions();
    const bool v = procCtrl->rotAxIsV();
    const int w = imgDatas->width();
    const int h = imgDatas->height();
    if (!keep || initSliceTo) {
        procCtrl->setSliceTo(v ? h - 1 : w - 1);
        initSliceTo = false;
    }
    // The CoR first: a new slice rebuilds the sinogram around the CoR.
    if (!keep || initCor) {
        procCtrl->setCor(v ? w * 0.5 : double(h / 2));
        initCor = false;
    }
    if (!keep || initSliceNo) {
        procCtrl->setSliceNo(v ? int(h * 0.5) : w / 2);
        initSliceNo = false;
    }
    procCtrl->setDataSetImages(imgDatas->count());

    // A seek position beyond the new set moves back and shows its image.
    shownRawIndex = -1;
    ui->seekCtrl->setMaximum(imgDatas->count() - 1);
    if (shownRawIndex < 0)
        updateRawImage();
    sinogram->genSgmImage();
    sinogram->display()->newImage();

    if (!keep || initRegions) {
        const double r = (v ? w : h) - 1;
        setAllRegions(0, r);
        initRegions = false;
    }
}

void Body::rawIndexChanged(int idx)
{
    // The seek control may announce one index more than once.
    if (idx != shownRawIndex)
        updateRawImage();
}

void Body::updateRawImage()
{
    renderRawImage(false);
}

void Body::renderRawImage(bool keepRange)
{
    const int idx = ui->seekCtrl->value();
    ColorBar* bar = rawDisp->colorBar();
    ColorScale scale = bar->scale();
    const bool fixed = keepRange || bar->isFixed();
    if (!imgDatas->renderImage(idx, rawDisp->img(), scale, fixed))
        return;
    shownRawIndex = idx;
    if (!fixed) {
        bar->setMinV(scale.vmin);
        bar->setMaxV(scale.vmax);
        bar->update();
    }
    rawDisp->newImage();
}

void Body::newPosOnRawImg(double x, double y)
{
    ImgData* img = imgDatas->image(ui->seekCtrl->value());
    if (!img)
        return;
    double v = 0.0;
    const int ix = truncToInt(x);
    const int iy = truncToInt(y);
    if (ix >= 0 && ix < img->width && iy >= 0 && iy < img->height) {
        rawRow.resize(std::size_t(img->width));
        v = img->getLine(iy, rawRow.data())[ix];
    }
    rawDisp->setVal(v);
    // The pointer lines follow the pointer.
    rawDisp->dispB()->update();
}

void Body::selectedAPointInRawImg(double x, double y, MouseC::MStat s)
{
    if (imgDatas->count() == 0)
        return;
    // A pan also ends in a point; only a click (no drag) picks.
    const MouseC* m = rawDisp->mouse();
    if ((m->releasePos() - m->pressPos()).manhattanLength() >= QApplication::startDragDistance())
        return;
    const bool v = procCtrl->rotAxIsV();
    if (s == 0) {
        const int slice = truncToInt(v ? y : x);
        procCtrl->setSliceNo(slice);
        if (ui->SendMsg2Tessela->isChecked())
            tslLoadSlice(slice);
    } else if (s == 8) {
        procCtrl->setCor(v ? x : y);
    }
    rawDisp->dispB()->update();
}

void Body::draw(QPainter* p)
{
    if (imgDatas->count() == 0)
        return;
    const ChCoord* c = rawDisp->coord();
    const DispB* frame = rawDisp->dispB();
    const double w = frame->width();
    const double h = frame->height();
    const bool v = procCtrl->rotAxIsV();
    const auto hLine = [&](double y) {
        const double sy = c->r2sy(y);
        p->drawLine(QPointF(0, sy), QPointF(w, sy));
    };
    const auto vLine = [&](double x) {
        const double sx = c->r2sx(x);
        p->drawLine(QPointF(sx, 0), QPointF(sx, h));
    };
    // Slices run along y when the axis is vertical, along x otherwise; the
    // CoR lies across them.
    const auto sliceLine = [&](double s) { v ? hLine(s) : vLine(s); };
    const auto corLine = [&](double r) { v ? vLine(r) : hLine(r); };

    p->save();
    const MouseC* m = rawDisp->mouse();
    if (m->isInside()) {
        p->setPen(pens[0]);
        p->drawLine(QPointF(0, m->curPos().y()), QPointF(w, m->curPos().y()));
        p->drawLine(QPointF(m->curPos().x(), 0), QPointF(m->curPos().x(), h));
    }
    p->setPen(pens[1]);
    sliceLine(procCtrl->sliceNo());
    p->setPen(pens[2]);
    sliceLine(procCtrl->sliceFrom());
    sliceLine(procCtrl->sliceTo());
    p->setPen(pens[3]);
    corLine(procCtrl->cor());
    drawSelection(p);
    p->restore();
}

void Body::drawSelection(QPainter* p)
{
    if (!rawDisp->isSelecting() && !rawDisp->isSelected())
        return;
    const ChCoord* c = rawDisp->coord();
    const QRectF s = rawDisp->selection();
    const QRectF onScreen(QPointF(c->r2sx(s.left()), c->r2sy(s.top())),
                          QPointF(c->r2sx(s.right()), c->r2sy(s.bottom())));
    p->setPen(pens[rawDisp->isSelecting() ? 4 : 5]);
    p->setBrush(Qt::NoBrush);
    p->drawRect(onScreen.normalized());
    if (rawDisp->isSelecting())
        return;
    // A completed selection sets the extent across the axis as the square
    // region of every reconstruction panel, at every repaint.
    const bool v = procCtrl->rotAxIsV();
    const double r0 = v ? s.x() : s.y();
    const double r1 = v ? s.x() + s.width() : s.y() + s.height();
    setAllRegions(r0, r1);
}

void Body::i0FilesSelected(QStringList files, bool clear)
{
    if (clear)
        i0Engs.clear();
    // Entry i of the energies belongs to entry i of the list, so a name
    // without an energy is left out of both. Only the file's own name
    // counts: a folder may have dashes and digits of its own.
    for (const QString& f : files) {
        const double e = energyFromFileName(QFileInfo(f).fileName());
        if (!(e > 0.0)) {
            qDebug().noquote() << QStringLiteral("No energy in I0 file name : %1").arg(f);
            continue;
        }
        i0Engs << e;
        ui->SelI0Files->addFile(f);
    }
}

void Body::setI0FileFromList()
{
    const QString path = ui->SelI0Files->entry(nearestEnergyIndex(i0Engs, dataSetEnergy()));
    if (path.isEmpty()) {
        qDebug().noquote() << "No I0 file in the list";
        return;
    }
    ui->I0ImgSel->fileSelected0(path);
}
