// The display of raw projection images in the main window; it keeps a
// reference to the loaded image set for the window's overlay and read-outs.
#pragma once

#include "display/widgets/imgdispwpv.h"

class ImgDatas;

class RawDisp : public ImgDispWPV
{
    Q_OBJECT

public:
    explicit RawDisp(QWidget* parent = nullptr);

    // Not owned; set by the main window.
    void setImgDatas(ImgDatas* d) { imgDatas_ = d; }
    ImgDatas* imgDatas() const { return imgDatas_; }

private:
    ImgDatas* imgDatas_ = nullptr;
};
