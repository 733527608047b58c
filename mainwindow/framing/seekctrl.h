// Slider, step buttons and spin box for choosing an index in a list of
// images. One user action may announce the same index more than once;
// receivers treat a repeated index as no change.
#pragma once

#include <QFrame>

namespace Ui {
class SeekCtrl;
}

class SeekCtrl : public QFrame
{
    Q_OBJECT

public:
    explicit SeekCtrl(QWidget* parent = nullptr);
    ~SeekCtrl() override;

    // The owner sets the number of items minus one.
    void setMaximum(int max);
    int maximum() const;
    int value() const;
    // Moves slider and spin box to idx as the spin box would (announces it).
    void setIndex(int idx);

signals:
    void newIndex(int idx);

public slots:
    void sliderMoved(int val);
    void indexChanged(int val);
    void inc();
    void dec();

protected:
    void changeEvent(QEvent* e) override;

private:
    void stepTo(int v);

    Ui::SeekCtrl* ui;
};
