// A frame holding one panel that can move it out into a window of its own
// ("Pop/Dock") and back; the window's title is the frame's window title.
#pragma once

#include <QFrame>
#include <QPointer>

class ClosableBase;
class QGridLayout;

namespace Ui {
class PopDockBase;
}

class PopDockBase : public QFrame
{
    Q_OBJECT

public:
    explicit PopDockBase(QWidget* parent = nullptr);
    ~PopDockBase() override;

    // The panel to frame; it is put into the frame (docked).
    void setContent(QWidget* w);
    QWidget* content() const { return cont; }
    bool isPopped() const { return popped_; }
    ClosableBase* popWindow() const { return popWin; }
    void setPopped(bool f);

signals:
    void popped(bool f);

public slots:
    void popDock();
    void moveToDockBase();
    void moveToPopBase();

protected:
    void changeEvent(QEvent* e) override;

private:
    void putContentInto(QGridLayout* l);

    Ui::PopDockBase* ui;
    ClosableBase* popWin;
    QGridLayout* popLayout;
    QPointer<QWidget> cont;
    bool popped_ = false;
};
