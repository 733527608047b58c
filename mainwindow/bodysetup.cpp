// Setup files of the main window: the settings written as command lines in
// four sections, loaded back through the command executor, and the dialog
// that chooses the file.
#include "mainwindow/body.h"

#include "control/setupfile.h"
#include "input/widgets/selectaimgfile.h"
#include "input/widgets/selectdatafiles.h"
#include "mainwindow/framing/seekctrl.h"
#include "recon/widgets/procctrl.h"
#include "ui_Body.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace {

QStringList flag(bool f)
{
    return {setupFlagText(f)};
}

QStringList integer(int v)
{
    return {setupIntText(v)};
}

QStringList real(double v)
{
    return {setupRealText(v)};
}

QStringList text(const QString& t)
{
    return {setupQuotedText(t)};
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

void Body::writeSetup(SetupFileWriter& w) const
{
    const SelectDataFiles* files = ui->CTFiles;
    w.section(QStringLiteral("## Original Images"));
    // Written as a comment: loading a setup never reloads the images.
    if (files->count() > 0)
        w.command(QStringLiteral("#images_load"), setupDirPatterns(listedFile(files->entry(0))));
    w.command(QStringLiteral("images_new_on_load"), flag(files->isNewOnLoad()));
    w.command(QStringLiteral("images_keep_setup"), flag(files->keepConditions()));
    w.command(QStringLiteral("images_multi"), {setupFlagText(files->isMulti()), setupIntText(files->multiTimes())});
    w.command(QStringLiteral("images_seek"), integer(ui->seekCtrl->value()));
    w.command(QStringLiteral("i0_load"), text(ui->I0ImgSel->filePath()));
    w.command(QStringLiteral("bg_load"), text(ui->BGImgSel->filePath()));

    const ProcCtrl* p = procCtrl;
    w.section(QStringLiteral("## CT Reconstruction setting"));
    w.command(QStringLiteral("ct_proc_slice"), integer(p->sliceNo()));
    w.command(QStringLiteral("ct_angle_origin"), real(p->angleOriginDeg()));
    w.command(QStringLiteral("ct_dataset_range"), real(p->dataSetRangeDeg()));
    w.command(QStringLiteral("ct_use_partial_data_set"), flag(p->usePartialDataSet()));
    w.command(QStringLiteral("ct_dataset_using_images"), integer(p->dataSetUsingImages()));
    w.command(QStringLiteral("ct_dataset_start_image_no"), integer(p->dataSetStartImageNo()));
    w.command(QStringLiteral("ct_auto_exec"), flag(p->autoExec()));
    w.command(QStringLiteral("ct_slice_from"), integer(p->sliceFrom()));
    w.command(QStringLiteral("ct_slice_to"), integer(p->sliceTo()));
    w.command(QStringLiteral("ct_slice_step"), integer(p->sliceStep()));
    w.command(QStringLiteral("ct_threads"), integer(p->threads()));
    w.command(QStringLiteral("ct_cor"), real(p->cor()));
    w.command(QStringLiteral("ct_rot_ax_is_h"), flag(!p->rotAxIsV()));
    w.command(QStringLiteral("ct_recorded_cor_1"),
              {setupIntText(p->recordedSlice1()), setupRealText(p->recordedCoR1())});
    w.command(QStringLiteral("ct_recorded_cor_2"),
              {setupIntText(p->recordedSlice2()), setupRealText(p->recordedCoR2())});

    const SelectAFile* img = ui->SelectImageSaveDir;
    const SelectAFile* dat = ui->SelectDataSaveDir;
    w.section(QStringLiteral("## CT Reconstruction calculation"));
    w.command(QStringLiteral("calc_ct1"), flag(ui->SelectCt1->isChecked()));
    w.command(QStringLiteral("calc_show_res"), flag(ui->ShowCalcRes->isChecked()));
    w.command(QStringLiteral("fix_color_scale"), flag(ui->FixColorScale->isChecked()));
    w.command(QStringLiteral("fix_color_min"), real(colorMin()));
    w.command(QStringLiteral("fix_color_max"), real(colorMax()));
    w.command(QStringLiteral("auto_save_image"), flag(ui->AutoSaveImage->isChecked()));
    w.command(QStringLiteral("auto_save_image_path"), text(img->filePath()));
    w.command(QStringLiteral("auto_save_image_name"), text(img->name()));
    w.command(QStringLiteral("auto_save_image_tag"), text(img->tag()));
    w.command(QStringLiteral("auto_save_data"), flag(ui->AutoSaveData->isChecked()));
    w.command(QStringLiteral("auto_save_data_path"), text(dat->filePath()));
    w.command(QStringLiteral("auto_save_data_name"), text(dat->name()));
    w.command(QStringLiteral("auto_save_data_tag"), text(dat->tag()));
    w.command(QStringLiteral("auto_save_data_upper_limit"), text(ui->DataUpperLimit->text()));
    w.command(QStringLiteral("auto_save_data_lower_limit"), text(ui->DataLowerLimit->text()));
    w.command(QStringLiteral("auto_save_data_offset"), text(ui->DataOffset->text()));
    w.command(QStringLiteral("auto_save_in_sub_folders"), flag(ui->SaveInSubFolders->isChecked()));
    w.command(QStringLiteral("auto_save_in_sub_folders_of_energy"), flag(ui->SubOfEnergy->isChecked()));
    w.command(QStringLiteral("auto_save_data_tiff"), flag(ui->AutoSaveDataTiff->isChecked()));

    w.section(QStringLiteral("## Additional Settings for CT-XAFS"));
    w.command(QStringLiteral("add_inf_show"), flag(ui->ShowAdditionalInfo->isChecked()));
    w.command(QStringLiteral("add_inf_VKR_standard"), flag(seqVkrStandard));
    w.command(QStringLiteral("seq_exec_dir"), text(seqDir));
    w.command(QStringLiteral("seq_exec_file_pattern"), text(seqFilePattern));
    if (ui->SelI0Files->count() > 0)
        w.command(QStringLiteral("seq_exec_select_i0"), setupDirPatterns(ui->SelI0Files->entry(0)));
    w.command(QStringLiteral("seq_exec_keep_range_on_new_set"), flag(ui->keepOnNewSet->isChecked()));
}

void Body::saveSetup(QString fname)
{
    SetupFileWriter w;
    if (!w.open(fname))
        return;
    writeSetup(w);
    w.commit();
}

void Body::loadSetup(QString fname)
{
    // Runs every line here and now; a load or a run a line starts goes on
    // by itself and holds nothing.
    for (const BatchCmd& cmd : readSetupFile(fname))
        execCmd(cmd, false);
}

void Body::showSaveSetupD()
{
    openSetupDialog(true);
}

void Body::showLoadSetupD()
{
    openSetupDialog(false);
}

void Body::openSetupDialog(bool saving)
{
    setupSaving = saving;
    QFileDialog* d = setupDlg.renew();
    d->setWindowTitle(saving ? tr("Save Setup") : tr("Load Setup"));
    d->setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d->setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    d->setNameFilters({QStringLiteral("*.cfg"), QStringLiteral("*.*")});
    if (saving)
        d->setDefaultSuffix(QStringLiteral("cfg"));
    connect(d, &QFileDialog::fileSelected, this, &Body::saveLoadFileSelected);
    d->show();
}

void Body::saveLoadFileSelected(QString fname)
{
    if (setupSaving)
        saveSetup(fname);
    else
        loadSetup(fname);
}
