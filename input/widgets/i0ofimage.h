// The incident-beam intensity (I0) that belongs to an image in CT-XAFS
// work: a fixed value, or one to be looked up in an XAFS scan file by the
// energy in the image file name. The panel only holds these settings.
#pragma once

#include <QFrame>
#include <QString>

class SelectAFile;

namespace Ui {
class I0ofImage;
}

class I0ofImage : public QFrame
{
    Q_OBJECT

public:
    explicit I0ofImage(QWidget* parent = nullptr);
    ~I0ofImage() override;

    double i0Val() const;
    void setI0Val(double v);
    bool calcFromXafs() const;
    void setCalcFromXafs(bool f);
    // The XAFS scan file; its fileSelected0 and clear0 select and clear it.
    SelectAFile* xafsFile() const;
    QString engPattern() const;
    void setEngPattern(const QString& pattern);
    // Title shown in place of "I0 of Image" (kept on a language change).
    void setTitle(const QString& text);
    QString title() const;

protected:
    void changeEvent(QEvent* e) override;

private:
    Ui::I0ofImage* ui;
    QString ownTitle;
};
