#include "display/widgets/rawdisp.h"

RawDisp::RawDisp(QWidget* parent) : ImgDispWPV(parent) {}
