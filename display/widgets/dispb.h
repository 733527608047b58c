// The drawing frame of the 2-D displays and the colour bar: it clears itself,
// sets its transform's screen area and lets its owners draw in three layers;
// mouse activity is recorded in its MouseC and announced.
#pragma once

#include <QFrame>
#include <QPoint>
#include <QPainter> // complete type for the meta-object of the drawing signals

class ChCoord;
class MouseC;

class DispB : public QFrame
{
    Q_OBJECT

public:
    explicit DispB(QWidget* parent = nullptr);

    ChCoord* coord() const { return cc; }
    MouseC* mouse() const { return mc; }
    // Written by each wheel event: steps (one notch = 1.0) and the zoom factor,
    // 1/1.1 for a wheel turned forward (or not at all), 1.1 backward.
    double wheelSteps() const { return steps; }
    double zoomFactor() const { return factor; }
    // Pointer position of the last wheel event, frame pixels.
    QPoint wheelPos() const { return wPos; }

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
    void paintEvent(QPaintEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    ChCoord* cc;
    MouseC* mc;
    double steps = 0.0;
    double factor = 1.0 / 1.1;
    QPoint wPos;
};
