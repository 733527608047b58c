#include "mainwindow/framing/popdockbase.h"

#include "mainwindow/framing/closablebase.h"
#include "ui_PopDockBase.h"

#include <QEvent>

PopDockBase::PopDockBase(QWidget* parent)
    : QFrame(parent), ui(new Ui::PopDockBase), popWin(new ClosableBase), popLayout(new QGridLayout(popWin))
{
    ui->setupUi(this);
    popWin->resize(700, 740);
    popWin->setWindowTitle(windowTitle());
    connect(ui->PopDock, &QPushButton::clicked, this, &PopDockBase::popDock);
    connect(popWin, &ClosableBase::closed, this, &PopDockBase::moveToDockBase);
}

PopDockBase::~PopDockBase()
{
    // A popped panel dies with the frame, as a docked one does.
    delete popWin;
    delete ui;
}

void PopDockBase::setContent(QWidget* w)
{
    cont = w;
    if (cont)
        putContentInto(popped_ ? popLayout : ui->Layout);
}

void PopDockBase::putContentInto(QGridLayout* l)
{
    l->addWidget(cont, 0, 0);
    cont->show();
}

void PopDockBase::popDock()
{
    popWin->setWindowTitle(windowTitle());
    popWin->setVisible(!popWin->isVisible());
    if (!cont)
        return;
    popped_ = popWin->isVisible();
    emit popped(popped_);
    putContentInto(popped_ ? popLayout : ui->Layout);
}

void PopDockBase::moveToDockBase()
{
    if (!cont)
        return;
    popped_ = false;
    emit popped(false);
    putContentInto(ui->Layout);
}

void PopDockBase::moveToPopBase()
{
    if (!cont)
        return;
    popped_ = true;
    emit popped(true);
    putContentInto(popLayout);
}

void PopDockBase::setPopped(bool f)
{
    if (popped_ == f)
        return;
    // After moveToPopBase the window may be hidden while the panel is in it;
    // toggling the window then would show it when docking was asked.
    if (popWin->isVisible() == popped_) {
        popDock();
    } else if (f) {
        popWin->setWindowTitle(windowTitle());
        popWin->show();
        moveToPopBase();
    } else {
        popWin->hide();
        moveToDockBase();
    }
}

void PopDockBase::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::LanguageChange) {
        // The owner's title outlives the form's default one.
        const QString title = windowTitle();
        ui->retranslateUi(this);
        setWindowTitle(title);
    } else if (e->type() == QEvent::WindowTitleChange)
        popWin->setWindowTitle(windowTitle());
    QFrame::changeEvent(e);
}
