// The drawing frame of the 3-D view: like DispB, but its transform pans and
// zooms by itself from its MouseC, and it reports entering and leaving.
#pragma once

#include <QColor>
#include <QFrame>
#include <QPainter> // complete type for the meta-object of the drawing signals

class ChCoord;
class MouseC;

class DispA : public QFrame
{
    Q_OBJECT

public:
    explicit DispA(QWidget* parent = nullptr);

    ChCoord* coord() const { return cc; }
    MouseC* mouse() const { return mc; }
    QColor background() const { return bg; }
    void setBackground(const QColor& c);
    bool isInside() const;

signals:
    void drawImage0(QPainter* p);
    void drawImage1(QPainter* p);
    void drawImage2(QPainter* p);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    ChCoord* cc;
    MouseC* mc;
    QColor bg = Qt::white;
};
