// The "CT images" list: every slice image of the current run, kept in
// slice order, paged through with a seek control.
#pragma once

#include <QFrame>
#include <QImage>
#include <QList>

class ImgDisp;
class SeekCtrl;

namespace Ui {
class CtDisp;
}

class CtDisp : public QFrame
{
    Q_OBJECT

public:
    explicit CtDisp(QWidget* parent = nullptr);
    ~CtDisp() override;

    int count() const { return int(entries.size()); }
    int sliceAt(int idx) const { return entries.at(idx).no; }
    int shownIndex() const { return shown; }
    ImgDisp* display() const;
    SeekCtrl* seeker() const;

public slots:
    void clear();
    // Sorted by slice number; equal numbers keep their arrival order. The
    // last entry is shown.
    void addImg(int no, const QImage& img);
    void showImg(int idx);
    QList<QImage> getQImages() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    struct Entry {
        int no;
        QImage img;
    };

    Ui::CtDisp* ui;
    QList<Entry> entries;
    int shown = -1;
};
