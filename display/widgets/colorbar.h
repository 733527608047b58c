// The colour bar beside an image: shows the grey ramp, lets the user narrow it
// with two draggable markers and edit the value range, and is the one place
// where the displays turn a data value into a grey level.
#pragma once

#include "display/colorscale.h"
#include "display/widgets/dispb.h"

#include <QPointer>
#include <QPainter> // complete type for the meta-object of the drawing signals

class DrawText;
class QCheckBox;
class QFrame;

namespace Ui {
class CBarUI;
}

class ColorBar : public DispB
{
    Q_OBJECT

public:
    explicit ColorBar(QWidget* parent = nullptr);
    ~ColorBar() override;

    const ColorScale& scale() const { return cs; }
    int colorIndex(double v) const { return cs.colorIndex(v); }
    double minV() const { return cs.vmin; }
    double maxV() const { return cs.vmax; }

    // Set the range and show it in the edits; they emit nothing.
    void setMinV(double v);
    void setMaxV(double v);

    // "Fix": owners keep the bar's range instead of the range of a new image.
    bool isFixed() const;
    QCheckBox* fixBox() const;
    // The controls frame (CBarUIBase); the owner places it in its layout.
    QFrame* controls() const { return uiFrame; }

signals:
    void newBar();

public slots:
    void draw1(QPainter* p);
    void onMouseMoved();
    void onMousePressed();
    void onMouseReleased();
    void minVEdited();
    void maxVEdited();
    void setFixColorScale(bool f);

protected:
    void changeEvent(QEvent* e) override;

private:
    enum class Marker { Lo, Hi };
    double fractionAt(int y) const;
    double& marker(Marker m) { return m == Marker::Lo ? cs.lo : cs.hi; }

    ColorScale cs;
    bool grabbed = false;
    Marker grabbedMarker = Marker::Lo;
    DrawText* textDrawer;
    Ui::CBarUI* ui;
    QPointer<QFrame> uiFrame;
};
