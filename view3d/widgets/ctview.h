// The 3-D view: any number of slice sets drawn as one maximum-intensity
// picture of a chosen size, turned, rolled, panned and zoomed with the
// mouse, cut by a plane, and saved as a raster image or SVG.
#pragma once

#include "view3d/mipcaster.h"
#include "view3d/vec3.h"
#include "view3d/viewframe.h"

#include <QFrame>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class QFileDialog;
class QPainter;
class SlicesCtrl;

namespace Ui {
class CtView;
}

class CtView : public QFrame
{
    Q_OBJECT

public:
    explicit CtView(const QString& dir, QWidget* parent = nullptr);
    ~CtView() override;

    Ui::CtView* form() const { return ui; }
    const QList<SlicesCtrl*>& sliceSets() const { return sets; }
    SlicesCtrl* addSliceSet();
    const ViewFrame& viewFrame() const { return frame; }
    const QImage& projectionImage() const { return pImg; }
    // Lower-case names of the raster formats the image writer supports.
    const QStringList& rasterFormats() const { return rasterFmts; }
    // Renders made since construction (coalesced requests count once).
    int renderCount() const { return renders; }
    // The picture size in the edits; 0 for a text that is not a number.
    int imgWidth() const;
    int imgHeight() const;
    void setImgSize(int w, int h);
    // The ray caster set up as the view is now (sets with a stack only).
    MipCaster caster() const;
    // Renders now, dropping any request still waiting.
    void renderNow();

    // Largest picture side: beyond it nothing is rendered.
    static constexpr int kMaxImgSide = 8192;

signals:
    void initNz(Vec3 nz);
    void newNz(Vec3 nzv);
    void finishing();
    void rendered();

public slots:
    void updateNvs(Vec3 rax, double th);
    // Turns about any axis by deg degrees; false for a zero axis.
    bool turnAbout(Vec3 axis, double deg);
    void changedSliderStat();
    // Asks for a render; requests made before it runs are served by one.
    void paintPImg();
    void draw(QPainter* p);
    void mousePressedOnDataDisp();
    void mouseMovedOnDataDisp();
    void mouseReleasedOnDataDisp();
    void wheelMovedOnDataDisp(int step);
    void showSaveImageD();
    bool saveImage(const QString& fname);

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    enum class Drag { None, Rotate, Pan };
    enum class RotMode { Free, Left, Right, Top, Bottom };

    void normalisedPointer(double* x, double* y) const;
    void turned();

    Ui::CtView* ui;
    QList<SlicesCtrl*> sets;
    ViewFrame frame;
    QImage pImg;
    QTimer renderTimer;
    int renders = 0;
    double lastX = 0.0;
    double lastY = 0.0;
    Drag drag = Drag::None;
    RotMode rotMode = RotMode::Free;
    QString dir;
    QPointer<QFileDialog> saveDlg;
    QStringList rasterFmts;
};
