// The viewer link in the main window: the link and its stage control, the
// buttons and the busy indicator, slices picked in the raw image, and the
// batch held by continuous 2DA.
#include "mainwindow/body.h"

#include "app/optiontable.h"
#include "control/tesselactrl.h"
#include "control/tesselalink.h"
#include "input/widgets/selectafile.h"
#include "recon/datasaver.h"
#include "recon/widgets/procctrl.h"
#include "ui_Body.h"

#include <QDebug>

#include <algorithm>

void Body::setupTesselaLink()
{
    QString host = QStringLiteral("localhost");
    quint16 port = TesselaLink::defaultPort;
    TesselaLink::parseEndpoint(options().extraNoCase(QStringLiteral("Tessela")), &host, &port);
    tesselaLink = new TesselaLink(host, port);
    tslCtrl->setLink(tesselaLink);
    connectViewerLink();
    tesselaLink->doConnect();
    tslInitFlags();
}

void Body::connectViewerLink()
{
    QPushButton* linkButton = ui->LinkTessela;
    linkButton->setStyleSheet(tesselaLink->linkButtonStyle());
    connect(tesselaLink, &TesselaLink::linkButtonStyleUpdated, linkButton, &QWidget::setStyleSheet);
    connect(linkButton, &QPushButton::clicked, tesselaLink, &TcpClient::doConnect);
    connect(ui->Exec2DA, &QPushButton::clicked, this, &Body::exec2dA0);
    connect(ui->Cont2DA, &QPushButton::clicked, this, &Body::tslStartCont2dA);
    connect(ui->With2DA, &QCheckBox::toggled, tslCtrl, &TesselaCtrl::setWith2dA);
    connect(ui->SendMsg2Tessela, &QCheckBox::toggled, tslCtrl, &TesselaCtrl::setSendMsg);
    tslCtrl->setWith2dA(ui->With2DA->isChecked());
    tslCtrl->setSendMsg(ui->SendMsg2Tessela->isChecked());

    connect(tslCtrl, &TesselaCtrl::tslLoadFilesOfPattern, this, &Body::tslLoadFilesOfPattern);
    connect(tslCtrl, &TesselaCtrl::tslLoadFiles, this, &Body::tslLoadFiles);
    connect(tslCtrl, &TesselaCtrl::tslStatChanged, this, &Body::tslStatChanged);
    connect(tslCtrl, &TesselaCtrl::exec2dA, this, &Body::exec2dA);
    connect(tslCtrl, &TesselaCtrl::askSetSliceNo, procCtrl, &ProcCtrl::setSliceNo);
    connect(tslCtrl, &TesselaCtrl::tslBusyUpdated, ui->TSLIsBusy,
            [this](bool busy) { ui->TSLIsBusy->setStyleSheet(TesselaCtrl::busyStyle(busy)); });
    connect(tslCtrl, &TesselaCtrl::cont2dAUpdated, this, &Body::tslCont2dAUpdated);
    // A slice goes to the viewer only when its data files are on disk.
    connect(dataSaver, &DataSaver::dataSaved, tslCtrl, &TesselaCtrl::noticedSliceSaved);
}

void Body::tslInitFlags()
{
    tslCtrl->tslInitFlags();
}

void Body::tslChangedIsBusy(bool f)
{
    tslCtrl->tslChangedIsBusy(f);
}

void Body::tslStageCtrl()
{
    tslCtrl->tslStageCtrl();
}

void Body::exec2dA0()
{
    tslCtrl->exec2dA0(procCtrl->sliceNo());
}

void Body::updateTslSaveLayout()
{
    tslCtrl->setSaveLayout({ui->SelectDataSaveDir->filePath(), ui->SaveInSubFolders->isChecked(),
                            ui->SubOfSlice->isChecked()});
}

void Body::tslStartCont2dA()
{
    updateTslSaveLayout();
    // A descending slice range is walked upwards.
    const int a = procCtrl->sliceFrom();
    const int b = procCtrl->sliceTo();
    tslCtrl->tslStartCont2dA(std::min(a, b), std::max(a, b), procCtrl->sliceStep());
}

void Body::tslLoadSlice(int slice)
{
    updateTslSaveLayout();
    tslCtrl->tslLoadSlice(slice);
}

void Body::tslCont2dAUpdated(bool on)
{
    ui->Cont2DA->setStyleSheet(TesselaCtrl::cont2dAStyle(on));
    if (!on && batchTslHeld) {
        batchTslHeld = false;
        emit callBatchCheckEnd();
    }
}

CmdEnd Body::tslCont2dACmd()
{
    if (!tslCtrl->cont2dA()) {
        updateTslSaveLayout();
        const int a = procCtrl->sliceFrom();
        const int b = procCtrl->sliceTo();
        // Not linked or an empty range: one line, and the batch goes on.
        if (!tslCtrl->startCont2dA(std::min(a, b), std::max(a, b), procCtrl->sliceStep()))
            return CmdEnd::Done;
    }
    return tslCtrl->cont2dA() ? CmdEnd::Viewer : CmdEnd::Done;
}
