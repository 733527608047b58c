// A frame holding one DispB in a grid layout and repeating its signals; the
// base of the image displays.
#pragma once

#include <QFrame>
#include <QPainter> // complete type for the meta-object of the drawing signals

class ChCoord;
class DispB;
class MouseC;
class QGridLayout;

namespace Ui {
class DispAWLayout;
}

class DispAWLayout : public QFrame
{
    Q_OBJECT

public:
    explicit DispAWLayout(QWidget* parent = nullptr);
    ~DispAWLayout() override;

    DispB* dispB() const;
    ChCoord* coord() const;
    MouseC* mouse() const;

signals:
    void drawImage0(QPainter* p);
    void drawImage1(QPainter* p);
    void drawImage2(QPainter* p);
    void mouseMoved0();
    void mousePressed0();
    void mouseReleased0();
    void mouseDoubleClicked0();
    void wheelMoved0();

protected:
    QGridLayout* gridLayout() const;

private:
    Ui::DispAWLayout* ui;
};
