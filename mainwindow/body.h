// The main window: owns every panel, worker and thread of the program and
// wires them together.
#pragma once

#include <QFrame>
#include <QString>

namespace Ui {
class Body;
}

class Body : public QFrame
{
    Q_OBJECT

public:
    explicit Body(QWidget* parent = nullptr);
    ~Body() override;

signals:
    void finishing();

public slots:
    void batchLoad(QString fname);
    void batchExec();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    Ui::Body* ui;
};
