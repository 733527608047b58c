// What the worker panels (CtCalc2Ui) and the interactive panel (CtCalc)
// share: the result display with its colour bar, the display region (what
// part of the grid is shown) and the calculation region (what part is
// computed and saved), and the read-outs of the last slice. Regions are
// announced only when a value really changed, so that the main window can
// keep all panels on the same regions without loops.
#pragma once

#include "recon/backproject.h"

#include <QDateTime>
#include <QFrame>
#include <QRectF>

#include <array>

class ImgDispWPV;
class QLineEdit;
class QPushButton;

class CtResPanel : public QFrame
{
    Q_OBJECT

public:
    ImgDispWPV* display() const { return w.disp; }
    CalcRegion calcRegion() const { return {cr[0], cr[1], cr[2], cr[3]}; }
    CalcRegion dispRegion() const { return {dr[0], dr[1], dr[2], dr[3]}; }
    // False until a calculation region was set for the first time.
    bool isRegionSet() const { return crSet; }
    QDateTime startTime() const { return startT; }
    QDateTime endTime() const { return endT; }

signals:
    void dRUpdated(double rx0, double rz0, double rx1, double rz1);
    void cRUpdated(double rx0, double rz0, double rx1, double rz1);

public slots:
    // Value under the pointer, grid pixels.
    void noticedNewPos(double x, double z);
    // The display's view after a zoom or pan becomes the display region.
    void noticedNewS(QRectF s);
    // "Set To C. Region": the display region, widened to whole pixels.
    void setCRegion();
    void showStartTime(const QDateTime& t = QDateTime::currentDateTime());
    void showEndTime(const QDateTime& t = QDateTime::currentDateTime());
    void showSpentT();
    void showSliceNo(int no);
    void newImage();
    void saveImage(QString fname);
    void setCR(double rx0, double rz0, double rx1, double rz1);
    void setDR(double rx0, double rz0, double rx1, double rz1);
    void setFixColorScale(bool f);
    void setCBarMinMaxForced(double min, double max);

protected:
    struct Widgets {
        ImgDispWPV* disp = nullptr;
        std::array<QLineEdit*, 4> dispRegion{};
        std::array<QLineEdit*, 4> calcRegion{};
        QPushButton* setCRegion = nullptr;
        QLineEdit* startT = nullptr;
        QLineEdit* endT = nullptr;
        QLineEdit* spentT = nullptr;
        QLineEdit* sliceNo = nullptr;
    };

    // The result forms name their widgets alike.
    template <typename Form>
    static Widgets widgetsOf(Form* ui)
    {
        Widgets w;
        w.disp = ui->DispCt;
        w.dispRegion = {ui->Drx0, ui->Drz0, ui->Drx1, ui->Drz1};
        w.calcRegion = {ui->Crx0, ui->Crz0, ui->Crx1, ui->Crz1};
        w.setCRegion = ui->SetCRegion;
        w.startT = ui->StartT;
        w.endT = ui->EndT;
        w.spentT = ui->SpentT;
        w.sliceNo = ui->ShowSliceNo;
        return w;
    }

    explicit CtResPanel(QWidget* parent = nullptr);
    ~CtResPanel() override;
    // The derived panel hands over the widgets of its form once.
    void attach(const Widgets& widgets);

    // The colour bar changed: by the user or the Fix box (redraw true when
    // the picture should follow the bar's new range), or by a command.
    virtual void colorScaleChanged(bool redraw) = 0;
    // The pointer is over grid position (x, z); the panel shows the value.
    virtual void readValue(double x, double z) = 0;

private:
    void regionFieldsEdited(bool calc);

    Widgets w;
    std::array<double, 4> dr{};
    std::array<double, 4> cr{};
    bool crSet = false;
    QDateTime startT;
    QDateTime endT;
};
