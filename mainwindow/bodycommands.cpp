// The setup command executor of the main window: every command a batch or
// setup file can hold (one row each, which also gives its saved setup line),
// the batch's waits for runs and loads, and the end of a window-less batch run.
#include "mainwindow/body.h"

#include "control/batch.h"
#include "control/tesselalink.h"
#include "control/widgets/selectdatadir.h"
#include "input/widgets/i0ofimage.h"
#include "input/widgets/selectaimgfile.h"
#include "input/widgets/selectdatafiles.h"
#include "mainwindow/framing/seekctrl.h"
#include "recon/datasaver.h"
#include "recon/widgets/procctrl.h"
#include "recon/widgets/sinogram.h"
#include "ui_Body.h"

#include <QCheckBox>
#include <QDebug>
#include <QRegularExpression>
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

// A list entry names a frame of a sequence file as "path(n)"; the file
// itself is what a setup file records.
QString listedFile(const QString& entry)
{
    static const QRegularExpression frame(QStringLiteral("\\(\\d+\\)$"));
    QString f = entry;
    f.remove(frame);
    return f;
}

} // namespace

const SettingTable<Body>& Body::settings()
{
    using S = SetupSection;
    static const SettingTable<Body> table = [] {
        SettingTable<Body> t;

        // Families: one helper makes the rows of a selector or panel.
        const auto referenceRows = [&t](const QString& p, SelectAImgFile* Ui::Body::*sel) {
            t.text(p + "_load", S::OriginalImages, [sel](const Body& b) { return (b.ui->*sel)->filePath(); },
                   [sel](Body& b, const QString& f) { selectOrClear(b.ui->*sel, f); });
            t.command(p + "_clear", [sel](Body& b) { (b.ui->*sel)->clear0(); });
            t.real(p + "_exp_time", notSaved, nullptr, [sel](Body& b, double v) { (b.ui->*sel)->setExpTime(v); });
        };
        const auto saveRows = [&t](const QString& p, QCheckBox* Ui::Body::*on, void (Body::*setOn)(bool),
                                   SelectAFile* Ui::Body::*sel) {
            t.flag(p, S::CtCalculation, [on](const Body& b) { return (b.ui->*on)->isChecked(); },
                   [setOn](Body& b, bool f) { (b.*setOn)(f); });
            t.text(p + "_path", S::CtCalculation, [sel](const Body& b) { return (b.ui->*sel)->filePath(); },
                   [sel](Body& b, const QString& v) { (b.ui->*sel)->setDir(v); });
            t.text(p + "_name", S::CtCalculation, [sel](const Body& b) { return (b.ui->*sel)->name(); },
                   [sel](Body& b, const QString& v) { (b.ui->*sel)->setName(v); });
            t.text(p + "_tag", S::CtCalculation, [sel](const Body& b) { return (b.ui->*sel)->tag(); },
                   [sel](Body& b, const QString& v) { (b.ui->*sel)->setTag(v); });
            t.command(p + "_clear", [sel](Body& b) { (b.ui->*sel)->clear0(); });
        };
        const auto i0PanelRows = [&t](const QString& p, I0ofImage* Ui::Body::*panel) {
            t.real(p + "_val", notSaved, nullptr, [panel](Body& b, double v) { (b.ui->*panel)->setI0Val(v); });
            t.flag(p + "_from_xafs", notSaved, nullptr, [panel](Body& b, bool f) { (b.ui->*panel)->setCalcFromXafs(f); });
            t.text(p + "_xafs", notSaved, nullptr, [panel](Body& b, const QString& f) { selectOrClear((b.ui->*panel)->xafsFile(), f); });
            t.command(p + "_xafs_clear", [panel](Body& b) { (b.ui->*panel)->xafsFile()->clear0(); });
            t.text(p + "_eng_ptn", notSaved, nullptr, [panel](Body& b, const QString& v) { (b.ui->*panel)->setEngPattern(v); });
        };

        // Written as a comment: loading a setup never reloads the images.
        t.dirPatterns("images_load", asComment(S::OriginalImages), [](const Body& b) { return b.ui->CTFiles->count() > 0 ? listedFile(b.ui->CTFiles->entry(0)) : QString(); },
                      [](Body& b, const QString& dir, const QStringList& patterns) { b.ui->CTFiles->selectFilesIn(dir, patterns); return b.loadHold(); });
        t.flag("images_new_on_load", S::OriginalImages, [](const Body& b) { return b.ui->CTFiles->isNewOnLoad(); }, [](Body& b, bool f) { b.ui->CTFiles->setNewOnLoad(f); });
        t.alias("images_add_on_load", "images_new_on_load", true);
        t.flag("images_keep_setup", S::OriginalImages, [](const Body& b) { return b.ui->CTFiles->keepConditions(); }, [](Body& b, bool f) { b.ui->CTFiles->setKeepConditions(f); });
        t.flagInt("images_multi", S::OriginalImages, [](const Body& b) { return std::pair(b.ui->CTFiles->isMulti(), b.ui->CTFiles->multiTimes()); },
                  [](Body& b, bool f, int n) { b.ui->CTFiles->setMulti(f); b.ui->CTFiles->setMultiTimes(n); });
        t.integer("images_seek", S::OriginalImages, [](const Body& b) { return b.ui->seekCtrl->value(); }, [](Body& b, int i) { b.ui->seekCtrl->setIndex(std::min(i, b.ui->seekCtrl->maximum())); });
        t.command("images_clear", [](Body& b) { b.ui->CTFiles->clearFiles(); });
        t.real("images_exp_time", notSaved, nullptr, [](Body& b, double v) { b.ui->CTFiles->setExpTime(v); });
        referenceRows("i0", &Ui::Body::I0ImgSel);
        referenceRows("bg", &Ui::Body::BGImgSel);

        // Values set by a command survive the next load's defaults.
        t.integer("ct_proc_slice", S::CtSetting, [](const Body& b) { return b.procCtrl->sliceNo(); }, [](Body& b, int i) { b.procCtrl->setSliceNo(i); b.initSliceNo = false; });
        t.real("ct_angle_origin", S::CtSetting, [](const Body& b) { return b.procCtrl->angleOriginDeg(); }, [](Body& b, double v) { b.procCtrl->setAngleOriginDeg(v); b.procCtrl->announceFieldEdits(); });
        t.alias("ct_angle_offset", "ct_angle_origin");
        t.real("ct_dataset_range", S::CtSetting, [](const Body& b) { return b.procCtrl->dataSetRangeDeg(); }, [](Body& b, double v) { b.procCtrl->setDataSetRangeDeg(v); b.procCtrl->announceFieldEdits(); });
        t.flag("ct_use_partial_data_set", S::CtSetting, [](const Body& b) { return b.procCtrl->usePartialDataSet(); }, [](Body& b, bool f) { b.procCtrl->setUsePartialDataSet(f); });
        t.integer("ct_dataset_using_images", S::CtSetting, [](const Body& b) { return b.procCtrl->dataSetUsingImages(); }, [](Body& b, int i) { b.procCtrl->setDataSetUsingImages(i); b.procCtrl->announceFieldEdits(); });
        t.integer("ct_dataset_start_image_no", S::CtSetting, [](const Body& b) { return b.procCtrl->dataSetStartImageNo(); }, [](Body& b, int i) { b.procCtrl->setDataSetStartImageNo(i); b.procCtrl->announceFieldEdits(); });
        t.flag("ct_auto_exec", S::CtSetting, [](const Body& b) { return b.procCtrl->autoExec(); }, [](Body& b, bool f) { b.procCtrl->setAutoExec(f); });
        t.integer("ct_slice_from", S::CtSetting, [](const Body& b) { return b.procCtrl->sliceFrom(); }, [](Body& b, int i) { b.procCtrl->setSliceFrom(i); });
        t.integer("ct_slice_to", S::CtSetting, [](const Body& b) { return b.procCtrl->sliceTo(); }, [](Body& b, int i) { b.procCtrl->setSliceTo(i); b.initSliceTo = false; });
        t.integer("ct_slice_step", S::CtSetting, [](const Body& b) { return b.procCtrl->sliceStep(); }, [](Body& b, int i) { b.procCtrl->setSliceStep(i); });
        t.integer("ct_threads", S::CtSetting, [](const Body& b) { return b.procCtrl->threads(); }, [](Body& b, int i) { b.procCtrl->setThreads(i); });
        t.real("ct_cor", S::CtSetting, [](const Body& b) { return b.procCtrl->cor(); }, [](Body& b, double v) { b.procCtrl->setCor(v); b.initCor = false; });
        t.flag("ct_rot_ax_is_h", S::CtSetting, [](const Body& b) { return !b.procCtrl->rotAxIsV(); }, [](Body& b, bool f) { b.procCtrl->setRotAxIsH(f); });
        t.alias("ct_rot_ax_is_v", "ct_rot_ax_is_h", true);
        t.intReal("ct_recorded_cor_1", S::CtSetting, [](const Body& b) { return std::pair(b.procCtrl->recordedSlice1(), b.procCtrl->recordedCoR1()); }, [](Body& b, int s, double c) { b.procCtrl->setRecordedCoR1(s, c); });
        t.intReal("ct_recorded_cor_2", S::CtSetting, [](const Body& b) { return std::pair(b.procCtrl->recordedSlice2(), b.procCtrl->recordedCoR2()); }, [](Body& b, int s, double c) { b.procCtrl->setRecordedCoR2(s, c); });
        t.fourReals("ct_set_disp_region", [](Body& b, double x0, double z0, double x1, double z1) { b.dRUpdated(x0, z0, x1, z1); });
        t.fourReals("ct_set_calc_region", [](Body& b, double x0, double z0, double x1, double z1) { b.cRUpdated(x0, z0, x1, z1); });

        // The two engines are exclusive: switching one off selects the other.
        t.flag("calc_ct1", S::CtCalculation, [](const Body& b) { return b.ui->SelectCt1->isChecked(); }, [](Body& b, bool f) { b.setCtSel(f); });
        t.alias("calc_ct2", "calc_ct1", true);
        t.flag("calc_show_res", S::CtCalculation, [](const Body& b) { return b.ui->ShowCalcRes->isChecked(); }, [](Body& b, bool f) { b.ui->ShowCalcRes->setChecked(f); });
        t.flag("fix_color_scale", S::CtCalculation, [](const Body& b) { return b.ui->FixColorScale->isChecked(); }, [](Body& b, bool f) { b.setFixColorScale(f); });
        t.real("fix_color_min", S::CtCalculation, [](const Body& b) { return b.colorMin(); }, [](Body& b, double v) { b.setColorMin(v); b.fixColorScaleChanged(); });
        t.real("fix_color_max", S::CtCalculation, [](const Body& b) { return b.colorMax(); }, [](Body& b, double v) { b.setColorMax(v); b.fixColorScaleChanged(); });
        saveRows("auto_save_image", &Ui::Body::AutoSaveImage, &Body::setAutoSaveImage, &Ui::Body::SelectImageSaveDir);
        saveRows("auto_save_data", &Ui::Body::AutoSaveData, &Body::setAutoSaveData, &Ui::Body::SelectDataSaveDir);
        t.text("auto_save_data_upper_limit", S::CtCalculation, [](const Body& b) { return b.ui->DataUpperLimit->text(); }, [](Body& b, const QString& v) { b.ui->DataUpperLimit->setText(v); });
        t.text("auto_save_data_lower_limit", S::CtCalculation, [](const Body& b) { return b.ui->DataLowerLimit->text(); }, [](Body& b, const QString& v) { b.ui->DataLowerLimit->setText(v); });
        t.text("auto_save_data_offset", S::CtCalculation, [](const Body& b) { return b.ui->DataOffset->text(); }, [](Body& b, const QString& v) { b.ui->DataOffset->setText(v); });
        t.flag("auto_save_in_sub_folders", S::CtCalculation, [](const Body& b) { return b.ui->SaveInSubFolders->isChecked(); }, [](Body& b, bool f) { b.ui->SaveInSubFolders->setChecked(f); });
        t.flag("auto_save_in_sub_folders_of_slice", notSaved, nullptr, [](Body& b, bool f) { b.ui->SubOfSlice->setChecked(f); });
        t.flag("auto_save_in_sub_folders_of_energy", S::CtCalculation, [](const Body& b) { return b.ui->SubOfEnergy->isChecked(); }, [](Body& b, bool f) { b.ui->SubOfEnergy->setChecked(f); });
        t.flag("auto_save_data_tiff", S::CtCalculation, [](const Body& b) { return b.ui->AutoSaveDataTiff->isChecked(); }, [](Body& b, bool f) { b.ui->AutoSaveDataTiff->setChecked(f); });
        t.flag("auto_save_skip_existing", S::CtCalculation, [](const Body& b) { return b.ui->SkipExisting->isChecked(); }, [](Body& b, bool f) { b.ui->SkipExisting->setChecked(f); });

        t.flag("add_inf_show", S::CtXafs, [](const Body& b) { return b.ui->ShowAdditionalInfo->isChecked(); }, [](Body& b, bool f) { b.ui->ShowAdditionalInfo->setChecked(f); b.setShowAdditionalInfo(f); });
        t.alias("seq_exec_show", "add_inf_show");
        t.flag("add_inf_VKR_standard", S::CtXafs, [](const Body& b) { return b.ui->SelDDir->isVKRStandard(); }, [](Body& b, bool f) { b.ui->SelDDir->setIsVKRStandard(f); });
        i0PanelRows("add_inf_raw_i0", &Ui::Body::I0ofRawImage_);
        i0PanelRows("add_inf_i0_i0", &Ui::Body::I0ofI0Image_);
        t.text("seq_exec_dir", S::CtXafs, [](const Body& b) { return b.ui->SelDDir->directory(); }, [](Body& b, const QString& v) { b.ui->SelDDir->selectDirectory(v); });
        t.text("seq_exec_file_pattern", S::CtXafs, [](const Body& b) { return b.ui->SelDDir->patternText(); }, [](Body& b, const QString& v) { b.ui->SelDDir->setPatternText(v); });
        // The I0 list's own dialog keeps the directory the user chose.
        t.dirPatterns("seq_exec_select_i0", S::CtXafs, [](const Body& b) { return b.ui->SelI0Files->count() > 0 ? b.ui->SelI0Files->entry(0) : QString(); },
                      [](Body& b, const QString& dir, const QStringList& patterns) { SelectDataFiles* l = b.ui->SelI0Files; const QString keep = l->dialogDirectory(); l->selectFilesIn(dir, patterns); l->setDialogDirectory(keep); });
        t.flag("seq_exec_keep_range_on_new_set", S::CtXafs, [](const Body& b) { return b.ui->keepOnNewSet->isChecked(); }, [](Body& b, bool f) { b.ui->keepOnNewSet->setChecked(f); });
        // Holds the batch until the set is loaded, as images_load does.
        t.command("seq_exec_set", [](Body& b) {
            if (b.ui->SelDDir->set())
                return b.loadHold();
            qDebug().noquote() << "seq_exec_set : no data set to select";
            return CmdEnd::Done;
        });

        // Tabs: 0 raw, 1 sinogram, 2 CT, 3 I0, 4 BG, 5 CT images, 6 3-D view.
        t.integer("show_tab", notSaved, nullptr, [](Body& b, int i) { b.ui->ImgsTab->setCurrentIndex(i); });
        const char* fixedTabs[] = {"show_orig", "show_sinogram", "show_ct1", "show_i0", "show_bg"};
        for (int i = 0; i < 5; ++i)
            t.command(fixedTabs[i], [i](Body& b) { b.ui->ImgsTab->setCurrentIndex(i); });
        t.integer("show_ct2", notSaved, nullptr, [](Body& b, int i) {
            // 64-bit, so that a huge argument cannot wrap into a valid tab.
            const qint64 tab = 5 + qint64(i);
            if (tab >= 0 && tab < b.ui->ImgsTab->count())
                b.ui->ImgsTab->setCurrentIndex(int(tab));
        });
        t.flag("tesselaLink_set_send_msg", notSaved, nullptr, [](Body& b, bool f) { b.ui->SendMsg2Tessela->setChecked(f); });
        t.command("tesselaLink_connect", [](Body& b) { b.tesselaLink->doConnect(); });
        // Holds the batch until continuous 2DA ends (or the link is lost).
        t.command("tesselaLink_cont_2da", [](Body& b) { return b.tslCont2dACmd(); });
        t.flag("set_sgm_alter_stack", notSaved, nullptr, [](Body& b, bool f) { b.sinogram->setAlterStack(f); });
        // The 3-D view; not part of setups.
        t.dirPatterns("show_3d_load", notSaved, nullptr, [](Body& b, const QString& dir, const QStringList& patterns) { return b.show3dLoad(dir, patterns); });
        t.fourReals("show_3d_view", [](Body& b, double ax, double ay, double az, double deg) { b.show3dView(ax, ay, az, deg); });
        t.command("show_3d_size", [](Body& b, const BatchCmd& c) { b.show3dSize(c.intArg(0), c.intArg(1)); });
        t.text("show_3d_save", notSaved, nullptr, [](Body& b, const QString& fname) { b.show3dSave(fname); });
        return t;
    }();
    return table;
}

CmdEnd Body::execCmd(const BatchCmd& cmd, bool fromBatch)
{
    // Commands with a result or a wait of their own for the batch.
    if (cmd.is("calc_exec"))
        return calcExec(fromBatch);
    if (cmd.is("seq_exec_next")) {
        const bool stepped = ui->SelDDir->stepNext();
        if (fromBatch)
            QMetaObject::invokeMethod(batch, [b = batch, stepped] { b->setLastResultOk(stepped); });
        return CmdEnd::Done;
    }
    // Unknown names, comments and labels do nothing, silently.
    return settings().exec(*this, cmd);
}

CmdEnd Body::calcExec(bool fromBatch)
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

CmdEnd Body::loadHold() const
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
    case CmdEnd::Viewer:
        batchTslHeld = true; // the end of continuous 2DA goes on
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
    const bool loadPending = isStartPending() || loading || deferredLoad;
    if (isRunning() || anyWorkerBusy() || (loadPending && !interrupted))
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
    if (isRunning())
        stopCalcCt();
    else if (isStartPending())
        scheduler->cancelPendingStart();
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
