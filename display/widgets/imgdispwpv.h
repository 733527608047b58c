// An image display with colour bar and a row of read-outs: the image pixel
// under the pointer, a value chosen by the owner, and "Scale Reset".
#pragma once

#include "display/widgets/imgdispwcbar.h"

class QFrame;

namespace Ui {
class PVFrame;
}

class ImgDispWPV : public ImgDispWCBar
{
    Q_OBJECT

public:
    explicit ImgDispWPV(QWidget* parent = nullptr);
    ~ImgDispWPV() override;

signals:
    void newPosInvY(double x, double y);

public slots:
    void noticedNewPos(int ix, int iy);
    void setVal(double v);

protected:
    void changeEvent(QEvent* e) override;

private:
    Ui::PVFrame* pv;
    QFrame* pvFrame;
};
