// A flat (I0) or dark (BG) reference image: its file, its exposure time and
// a display of the picture. The image set reads the current image through
// imageSlot(), which stays valid for the panel's whole life.
#pragma once

#include "input/widgets/selectafile.h"

#include <QPointer>

#include <vector>

class ImgData;
class ImgDispWPV;
class QFrame;

namespace Ui {
class SelectAImgFileBase;
}

class SelectAImgFile : public SelectAFile
{
    Q_OBJECT

public:
    explicit SelectAImgFile(QWidget* parent = nullptr);
    ~SelectAImgFile() override;

    // The image held now, or null. It is read whole into memory, so
    // reconstruction workers may read it at the same time.
    ImgData* image() const { return img; }
    // Address of the slot that holds the current image, for the image set's
    // non-owning I0 and BG handles.
    ImgData** imageSlot() { return &img; }
    // The panel's display; an owner may place it in its own layout.
    ImgDispWPV* display() const;
    double expTime() const;

    // While reconstruction workers read the image, a new choice or a clear
    // must not delete it under them: it waits until the hold ends.
    void setHold(bool f);
    bool isHeld() const { return held; }

signals:
    // ShowImg was pressed: an owner that keeps the display in a tab brings
    // that tab forward.
    void askToShowImage();

public slots:
    void noticedNewPos(double x, double y);
    // Drops the image (the base form's clear() signal leads here).
    void clear();
    void setExpTime(double time);
    void showImage();
    // Renders the image through the display's colour bar again.
    void updateImage();

protected:
    void changeEvent(QEvent* e) override;

private slots:
    void loadImage(QString fname);

private:
    enum class Pending { None, Load, Clear };
    void replaceImage(const QString& fname);
    void dropImage();

    Ui::SelectAImgFileBase* ui2;
    QFrame* baseFrame;
    ImgData* img = nullptr;
    QPointer<ImgDispWPV> disp;
    double expTime0;
    std::vector<double> row;
    bool held = false;
    Pending pending = Pending::None;
    QString pendingName;
};
