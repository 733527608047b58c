// An image display with a colour bar to its right and the bar's controls
// below it.
#pragma once

#include "display/widgets/imgdisp.h"

class ColorBar;
class QCheckBox;
class QGridLayout;

class ImgDispWCBar : public ImgDisp
{
    Q_OBJECT

public:
    explicit ImgDispWCBar(QWidget* parent = nullptr);

    ColorBar* colorBar() const { return cBar; }
    void setMinV(double v);
    void setMaxV(double v);
    int colorIndex(double v) const;
    QCheckBox* fixBox() const;

signals:
    void newBar();

protected:
    QGridLayout* secondGrid() const { return grid2; }

private:
    ColorBar* cBar;
    QGridLayout* grid2;
};
