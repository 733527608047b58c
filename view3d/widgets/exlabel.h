// The histogram display of a slice set: a label that records its mouse in a
// MouseC and lets its owner draw over it through a ChCoord.
#pragma once

#include <QLabel>
#include <QPainter> // complete type for the meta-object of draw()

class ChCoord;
class MouseC;

class ExLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ExLabel(QWidget* parent = nullptr);

    ChCoord* coord() const { return cc; }
    MouseC* mouse() const { return mc; }
    // The transform's screen area as the paint event sets it.
    void updateScrCoord();

signals:
    void draw(QPainter* p);

public slots:
    void setText(const QString& txt);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    ChCoord* cc;
    MouseC* mc;
};
