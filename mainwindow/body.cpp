#include "mainwindow/body.h"

#include "ui_Body.h"

#include <QCloseEvent>

Body::Body(QWidget* parent)
    : QFrame(parent), ui(new Ui::Body)
{
    ui->setupUi(this);
}

Body::~Body()
{
    delete ui;
}

void Body::batchLoad(QString fname)
{
    Q_UNUSED(fname);
}

void Body::batchExec()
{
}

void Body::closeEvent(QCloseEvent* event)
{
    emit finishing();
    event->accept();
}

void Body::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QFrame::changeEvent(event);
}
