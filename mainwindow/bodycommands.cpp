// The setup command executor of the main window: every command a batch or
// setup file can hold, the batch's waits for runs and loads, and the end of
// a window-less batch run.
#include "mainwindow/body.h"

#include "control/batch.h"
#include "input/widgets/i0ofimage.h"
#include "input/widgets/selectaimgfile.h"
#include "input/widgets/selectdatafiles.h"
#include "mainwindow/framing/seekctrl.h"
#include "recon/datasaver.h"
#include "recon/widgets/procctrl.h"
#include "recon/widgets/sinogram.h"
#include "ui_Body.h"

#include <QDebug>
#include <QThread>

#include <algorithm>

namespace {

// A reference image or an XAFS file: an empty name clears the selector, so
// that a setup saved without one loads back without one.
void selectOrClear(SelectAFile* s, const QString& fname)
{
    if (fname.isEmpty())
        s->clear0();
    else
        s->fileSelected0(fname);
}

} // namespace

const QHash<QString, Body::CmdHandler>& Body::commandTable()
{
    using E = CmdEnd;
    static const QHash<QString, CmdHandler> table = [] {
        QHash<QString, CmdHandler> t;
        const auto add = [&t](const char* name, CmdHandler h) { t.insert(QString::fromLatin1(name).toUpper(), h); };

        add("images_load", [](Body& b, const BatchCmd& c) {
            b.ui->CTFiles->selectFilesIn(c.dirArg(), c.patternArgs());
            return b.loadHold();
        });
        add("images_new_on_load", [](Body& b, const BatchCmd& c) { b.ui->CTFiles->setNewOnLoad(c.flagArg()); return E::Done; });
        add("images_add_on_load", [](Body& b, const BatchCmd& c) { b.ui->CTFiles->setNewOnLoad(!c.flagArg()); return E::Done; });
        add("images_clear", [](Body& b, const BatchCmd&) { b.ui->CTFiles->clearFiles(); return E::Done; });
        add("images_exp_time", [](Body& b, const BatchCmd& c) { b.ui->CTFiles->setExpTime(c.realArg()); return E::Done; });
        add("images_multi", [](Body& b, const BatchCmd& c) {
            b.ui->CTFiles->setMulti(c.flagArg(0));
            b.ui->CTFiles->setMultiTimes(c.intArg(1));
            return E::Done;
        });
        add("images_seek", [](Body& b, const BatchCmd& c) {
            b.ui->seekCtrl->setIndex(std::min(c.intArg(), b.ui->seekCtrl->maximum()));
            return E::Done;
        });
        add("images_keep_setup", [](Body& b, const BatchCmd& c) { b.ui->CTFiles->setKeepConditions(c.flagArg()); return E::Done; });

        add("i0_load", [](Body& b, const BatchCmd& c) { selectOrClear(b.ui->I0ImgSel, c.textArg()); return E::Done; });
        add("i0_clear", [](Body& b, const BatchCmd&) { b.ui->I0ImgSel->clear0(); return E::Done; });
        add("i0_exp_time", [](Body& b, const BatchCmd& c) { b.ui->I0ImgSel->setExpTime(c.realArg()); return E::Done; });
        add("bg_load", [](Body& b, const BatchCmd& c) { selectOrClear(b.ui->BGImgSel, c.textArg()); return E::Done; });
        add("bg_clear", [](Body& b, const BatchCmd&) { b.ui->BGImgSel->clear0(); return E::Done; });
        add("bg_exp_time", [](Body& b, const BatchCmd& c) { b.ui->BGImgSel->setExpTime(c.realArg()); return E::Done; });

        // Values set by a command survive the next load's defaults.
        add("ct_proc_slice", [](Body& b, const BatchCmd& c) {
            b.procCtrl->setSliceNo(c.intArg());
            b.initSliceNo = false;
            return E::Done;
        });
        add("ct_auto_exec", [](Body& b, const BatchCmd& c) { b.procCtrl->setAutoExec(c.flagArg()); return E::Done; });
        add("ct_slice_from", [](Body& b, const BatchCmd& c) { b.procCtrl->setSliceFrom(c.intArg()); return E::Done; });
        add("ct_slice_to", [](Body& b, const BatchCmd& c) {
            b.procCtrl->setSliceTo(c.intArg());
            b.initSliceTo = false;
            return E::Done;
        });
        add("ct_slice_step", [](Body& b, const BatchCmd& c) { b.procCtrl->setSliceStep(c.intArg()); return E::Done; });
        add("ct_threads", [](Body& b, const BatchCmd& c) { b.procCtrl->setThreads(c.intArg()); return E::Done; });
        add("ct_cor", [](Body& b, const BatchCmd& c) {
            b.procCtrl->setCor(c.realArg());
            b.initCor = false;
            return E::Done;
        });
        add("ct_rot_ax_is_h", [](Body& b, const BatchCmd& c) { b.procCtrl->setRotAxIsH(c.flagArg()); return E::Done; });
        add("ct_rot_ax_is_v", [](Body& b, const BatchCmd& c) { b.procCtrl->setRotAxIsV(c.flagArg()); return E::Done; });
        add("ct_recorded_cor_1", [](Body& b, const BatchCmd& c) {
            b.procCtrl->setRecordedCoR1(c.intArg(0), c.realArg(1));
            return E::Done;
        });
        add("ct_recorded_cor_2", [](Body& b, const BatchCmd& c) {
            b.procCtrl->setRecordedCoR2(c.intArg(0), c.realArg(1));
            return E::Done;
        });
        const CmdHandler angleOrigin = [](Body& b, const BatchCmd& c) {
            b.procCtrl->setAngleOriginDeg(c.realArg());
            b.procCtrl->announceFieldEdits();
            return E::Done;
        };
        add("ct_angle_origin", angleOrigin);
        add("ct_angle_offset", angleOrigin);
        add("ct_use_partial_data_set", [](Body& b, const BatchCmd& c) {
            b.procCtrl->setUsePartialDataSet(c.flagArg());
            return E::Done;
        });
        add("ct_dataset_range", [](Body& b, const BatchCmd& c) {
            b.procCtrl->setDataSetRangeDeg(c.realArg());
            b.procCtrl->announceFieldEdits();
            return E::Done;
        });
        add("ct_dataset_using_images", [](Body& b, const BatchCmd& c) {
            b.procCtrl->setDataSetUsingImages(c.intArg());
            b.procCtrl->announceFieldEdits();
            return E::Done;
        });
        add("ct_dataset_start_image_no", [](Body& b, const BatchCmd& c) {
            b.procCtrl->setDataSetStartImageNo(c.intArg());
            b.procCtrl->announceFieldEdits();
            return E::Done;
        });
        add("ct_set_disp_region", [](Body& b, const BatchCmd& c) {
            b.dRUpdated(c.realArg(0), c.realArg(1), c.realArg(2), c.realArg(3));
            return E::Done;
        });
        add("ct_set_calc_region", [](Body& b, const BatchCmd& c) {
            b.cRUpdated(c.realArg(0), c.realArg(1), c.realArg(2), c.realArg(3));
            return E::Done;
        });

        // The two engines are exclusive: switching one off selects the other.
        add("calc_ct1", [](Body& b, const BatchCmd& c) { b.setCtSel(c.flagArg()); return E::Done; });
        add("calc_ct2", [](Body& b, const BatchCmd& c) { b.setCtSel(!c.flagArg()); return E::Done; });
        add("calc_show_res", [](Body& b, const BatchCmd& c) { b.ui->ShowCalcRes->setChecked(c.flagArg()); return E::Done; });
        add("fix_color_scale", [](Body& b, const BatchCmd& c) { b.setFixColorScale(c.flagArg()); return E::Done; });
        add("fix_color_min", [](Body& b, const BatchCmd& c) {
            b.setColorMin(c.realArg());
            b.fixColorScaleChanged();
            return E::Done;
        });
        add("fix_color_max", [](Body& b, const BatchCmd& c) {
            b.setColorMax(c.realArg());
            b.fixColorScaleChanged();
            return E::Done;
        });

        add("auto_save_image", [](Body& b, const BatchCmd& c) { b.setAutoSaveImage(c.flagArg()); return E::Done; });
        add("auto_save_image_path", [](Body& b, const BatchCmd& c) { b.ui->SelectImageSaveDir->setDir(c.textArg()); return E::Done; });
        add("auto_save_image_name", [](Body& b, const BatchCmd& c) { b.ui->SelectImageSaveDir->setName(c.textArg()); return E::Done; });
        add("auto_save_image_tag", [](Body& b, const BatchCmd& c) { b.ui->SelectImageSaveDir->setTag(c.textArg()); return E::Done; });
        add("auto_save_image_clear", [](Body& b, const BatchCmd&) { b.ui->SelectImageSaveDir->clear0(); return E::Done; });
        add("auto_save_data", [](Body& b, const BatchCmd& c) { b.setAutoSaveData(c.flagArg()); return E::Done; });
        add("auto_save_data_path", [](Body& b, const BatchCmd& c) { b.ui->SelectDataSaveDir->setDir(c.textArg()); return E::Done; });
        add("auto_save_data_name", [](Body& b, const BatchCmd& c) { b.ui->SelectDataSaveDir->setName(c.textArg()); return E::Done; });
        add("auto_save_data_tag", [](Body& b, const BatchCmd& c) { b.ui->SelectDataSaveDir->setTag(c.textArg()); return E::Done; });
        add("auto_save_data_clear", [](Body& b, const BatchCmd&) { b.ui->SelectDataSaveDir->clear0(); return E::Done; });
        add("auto_save_data_upper_limit", [](Body& b, const BatchCmd& c) { b.ui->DataUpperLimit->setText(c.textArg()); return E::Done; });
        add("auto_save_data_lower_limit", [](Body& b, const BatchCmd& c) { b.ui->DataLowerLimit->setText(c.textArg()); return E::Done; });
        add("auto_save_data_offset", [](Body& b, const BatchCmd& c) { b.ui->DataOffset->setText(c.textArg()); return E::Done; });
        add("auto_save_in_sub_folders", [](Body& b, const BatchCmd& c) { b.ui->SaveInSubFolders->setChecked(c.flagArg()); return E::Done; });
        add("auto_save_in_sub_folders_of_slice", [](Body& b, const BatchCmd& c) { b.ui->SubOfSlice->setChecked(c.flagArg()); return E::Done; });
        add("auto_save_in_sub_folders_of_energy", [](Body& b, const BatchCmd& c) { b.ui->SubOfEnergy->setChecked(c.flagArg()); return E::Done; });
        add("auto_save_data_tiff", [](Body& b, const BatchCmd& c) { b.ui->AutoSaveDataTiff->setChecked(c.flagArg()); return E::Done; });

        const CmdHandler showInfo = [](Body& b, const BatchCmd& c) {
            b.ui->ShowAdditionalInfo->setChecked(c.flagArg());
            b.setShowAdditionalInfo(c.flagArg());
            return E::Done;
        };
        add("add_inf_show", showInfo);
        add("seq_exec_show", showInfo);
        add("add_inf_VKR_standard", [](Body& b, const BatchCmd& c) {
            b.seqVkrStandard = c.flagArg();
            b.noSeqPanel(c, "the setting is only kept for setup files");
            return E::Done;
        });
        add("add_inf_raw_i0_val", [](Body& b, const BatchCmd& c) { b.ui->I0ofRawImage_->setI0Val(c.realArg()); return E::Done; });
        add("add_inf_raw_i0_from_xafs", [](Body& b, const BatchCmd& c) { b.ui->I0ofRawImage_->setCalcFromXafs(c.flagArg()); return E::Done; });
        add("add_inf_raw_i0_xafs", [](Body& b, const BatchCmd& c) { selectOrClear(b.ui->I0ofRawImage_->xafsFile(), c.textArg()); return E::Done; });
        add("add_inf_raw_i0_xafs_clear", [](Body& b, const BatchCmd&) { b.ui->I0ofRawImage_->xafsFile()->clear0(); return E::Done; });
        add("add_inf_raw_i0_eng_ptn", [](Body& b, const BatchCmd& c) { b.ui->I0ofRawImage_->setEngPattern(c.textArg()); return E::Done; });
        add("add_inf_i0_i0_val", [](Body& b, const BatchCmd& c) { b.ui->I0ofI0Image_->setI0Val(c.realArg()); return E::Done; });
        add("add_inf_i0_i0_from_xafs", [](Body& b, const BatchCmd& c) { b.ui->I0ofI0Image_->setCalcFromXafs(c.flagArg()); return E::Done; });
        add("add_inf_i0_i0_xafs", [](Body& b, const BatchCmd& c) { selectOrClear(b.ui->I0ofI0Image_->xafsFile(), c.textArg()); return E::Done; });
        add("add_inf_i0_i0_xafs_clear", [](Body& b, const BatchCmd&) { b.ui->I0ofI0Image_->xafsFile()->clear0(); return E::Done; });
        add("add_inf_i0_i0_eng_ptn", [](Body& b, const BatchCmd& c) { b.ui->I0ofI0Image_->setEngPattern(c.textArg()); return E::Done; });

        // Tabs: 0 raw, 1 sinogram, 2 CT, 3 I0, 4 BG, 5 CT images, 6 3-D view.
        add("show_tab", [](Body& b, const BatchCmd& c) { b.ui->ImgsTab->setCurrentIndex(c.intArg()); return E::Done; });
        add("show_orig", [](Body& b, const BatchCmd&) { b.ui->ImgsTab->setCurrentIndex(0); return E::Done; });
        add("show_sinogram", [](Body& b, const BatchCmd&) { b.ui->ImgsTab->setCurrentIndex(1); return E::Done; });
        add("show_ct1", [](Body& b, const BatchCmd&) { b.ui->ImgsTab->setCurrentIndex(2); return E::Done; });
        add("show_i0", [](Body& b, const BatchCmd&) { b.ui->ImgsTab->setCurrentIndex(3); return E::Done; });
        add("show_bg", [](Body& b, const BatchCmd&) { b.ui->ImgsTab->setCurrentIndex(4); return E::Done; });
        add("show_ct2", [](Body& b, const BatchCmd& c) {
            // 64-bit, so that a huge argument cannot wrap into a valid tab.
            const qint64 tab = 5 + qint64(c.intArg());
            if (tab >= 0 && tab < b.ui->ImgsTab->count())
                b.ui->ImgsTab->setCurrentIndex(int(tab));
            return E::Done;
        });
        add("tesselaLink_set_send_msg", [](Body& b, const BatchCmd& c) { b.ui->SendMsg2Tessela->setChecked(c.flagArg()); return E::Done; });
        add("set_sgm_alter_stack", [](Body& b, const BatchCmd& c) { b.sinogram->setAlterStack(c.flagArg()); return E::Done; });

        add("seq_exec_dir", [](Body& b, const BatchCmd& c) {
            b.seqDir = c.textArg();
            b.noSeqPanel(c, "the directory is only kept for setup files");
            return E::Done;
        });
        add("seq_exec_file_pattern", [](Body& b, const BatchCmd& c) {
            b.seqFilePattern = c.textArg();
            b.noSeqPanel(c, "the pattern is only kept for setup files");
            return E::Done;
        });
        add("seq_exec_set", [](Body& b, const BatchCmd& c) {
            b.noSeqPanel(c, "no data set is loaded");
            return E::Done;
        });
        add("seq_exec_select_i0", [](Body& b, const BatchCmd& c) {
            // The I0 list's own dialog keeps the directory the user chose.
            SelectDataFiles* list = b.ui->SelI0Files;
            const QString keep = list->dialogDirectory();
            list->selectFilesIn(c.dirArg(), c.patternArgs());
            list->setDialogDirectory(keep);
            return E::Done;
        });
        add("seq_exec_keep_range_on_new_set", [](Body& b, const BatchCmd& c) { b.ui->keepOnNewSet->setChecked(c.flagArg()); return E::Done; });
        return t;
    }();
    return table;
}

Body::CmdEnd Body::execCmd(const BatchCmd& cmd, bool fromBatch)
{
    // Commands with a result or a wait of their own for the batch.
    if (cmd.is("calc_exec"))
        return calcExec(fromBatch);
    if (cmd.is("seq_exec_next")) {
        // Without the data-directory panel there is never a next data set.
        noSeqPanel(cmd, "there is no next data set");
        if (fromBatch)
            QMetaObject::invokeMethod(batch, [b = batch] { b->setLastResultOk(false); });
        return CmdEnd::Done;
    }
    // Unknown names, comments and labels do nothing, silently.
    const CmdHandler h = commandTable().value(cmd.name.toUpper(), nullptr);
    return h ? h(*this, cmd) : CmdEnd::Done;
}

Body::CmdEnd Body::calcExec(bool fromBatch)
{
    if (!fromBatch) {
        startCalcCt();
        return CmdEnd::Done;
    }
    // startCalcCt never starts a run on top of one that is going on (or
    // waiting to start); the batch then waits for the end of that one.
    batchCalcRunning = true;
    emit batchCalcStart();
    return CmdEnd::Run;
}

Body::CmdEnd Body::loadHold() const
{
    // A load that began (or waits for the end of a run) holds the batch
    // until the set is complete; a selection of nothing does not.
    const bool filling = loading && nextPending < pendingFiles.size();
    const bool waiting = deferredLoad && !deferredFiles.isEmpty();
    return filling || waiting ? CmdEnd::Load : CmdEnd::Done;
}

void Body::setCtSel(bool ct1)
{
    QAbstractButton* button = ct1 ? ui->SelectCt1 : ui->SelectCt2;
    button->setChecked(true);
    changedCtSel(button);
}

void Body::noSeqPanel(const BatchCmd& cmd, const char* what) const
{
    qDebug().noquote() << QStringLiteral("%1 : no data-directory panel yet; %2").arg(cmd.name, QLatin1String(what));
}

void Body::batchExCmd(BatchCmd cmd)
{
    // A line the batch sent before it heard of the interrupt.
    if (interrupted)
        return;
    switch (execCmd(cmd, true)) {
    case CmdEnd::Done:
        emit callBatchCheckEnd();
        break;
    case CmdEnd::Run:
        break; // batchCalcFinished goes on
    case CmdEnd::Load:
        batchLoadRunning = true; // finishedLoadDataFiles goes on
        break;
    }
}

void Body::batchLoad(QString fname)
{
    emit callBatchLoad(fname);
}

void Body::batchExec()
{
    emit callBatchExec();
}

void Body::syncBatch()
{
    if (batchThread && batchThread->isRunning())
        QMetaObject::invokeMethod(batch, [] {}, Qt::BlockingQueuedConnection);
}

void Body::endWithBatchRun()
{
    endWhenBatchEnds = true;
    batchEnded = false;
}

void Body::checkBatchEnd()
{
    if (!endWhenBatchEnds || !batchEnded)
        return;
    // An interrupted run waits for results only, not for loads.
    const bool loadPending = startPending || startAfterLoad || loading || deferredLoad;
    if (running || anyWorkerBusy() || (loadPending && !interrupted))
        return;
    endWhenBatchEnds = false;
    drainSaver();
    emit finishing();
}

void Body::interruptRun()
{
    if (interrupted)
        return;
    interrupted = true;
    consoleLine(tr("Interrupted: the slices already started are finished and saved; interrupt again to quit at once"));
    if (batch)
        QMetaObject::invokeMethod(batch, &Batch::batchStop);
    if (running)
        stopCalcCt();
    else if (startPending || startAfterLoad)
        cancelPendingStart();
    endWhenBatchEnds = true;
    batchEnded = true;
    checkBatchEnd();
}

void Body::drainSaver()
{
    // Every result a worker has handed over is queued before its end
    // notice; this returns when the saver has written them all.
    if (dataSaverThread && dataSaverThread->isRunning())
        QMetaObject::invokeMethod(dataSaver, [] {}, Qt::BlockingQueuedConnection);
}
