// A top-level frame that tells its owner when the user closes it (the
// pop-out window of PopDockBase).
#pragma once

#include <QFrame>

class ClosableBase : public QFrame
{
    Q_OBJECT

public:
    explicit ClosableBase(QWidget* parent = nullptr);

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* e) override;
};
