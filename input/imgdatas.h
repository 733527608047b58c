// The loaded projection stack of one CT data set, with handles on the flat
// (I0) and dark (BG) images that the reference panels hold, and the rule that
// turns a projection sample into an attenuation value.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <cmath>
#include <memory>
#include <vector>

class ColorScale;
class ImgData;
class QImage;

class ImgDatas : public QObject
{
    Q_OBJECT

public:
    explicit ImgDatas(QObject* parent = nullptr);
    ~ImgDatas() override;

    // Loads frame idx of the file (in memory) and appends it. Refused when
    // unreadable or of another size than the images already in the set.
    bool add(const QString& filePath, int idx);
    // The two halves of add: reading the frame (any thread; "File is not
    // ready to access" when it fails; probed only, for a lines-only set) and
    // appending it after the size check.
    // A caller that knows the file is ITEX saves a look at its first bytes.
    static std::unique_ptr<ImgData> openFrame(const QString& filePath, int idx, bool linesOnly, bool knownItex = false);
    bool append(std::unique_ptr<ImgData> img);
    int count() const { return int(images.size()); }

    // Window-less runs: add() checks every frame but reads no pixel; a run
    // then reads only the detector lines it reconstructs with holdLines.
    void setLinesOnly(bool f) { linesOnly = f; }
    bool isLinesOnly() const { return linesOnly; }
    // Reads rows (rows true) or columns `lines` of every image, in place of
    // the lines held before, on several threads. False, with one line, when
    // some image's lines can't be read.
    bool holdLines(bool rows, const std::vector<int>& lines);
    void dropLines();
    // Bytes one detector line of every image takes when held.
    qint64 lineBytes(bool rows) const;
    // Renders projection idx; unless fixedScale, scale takes its extremes.
    bool renderImage(int idx, QImage& target, ColorScale& scale, bool fixedScale);

    int width() const { return setWidth; }
    int height() const { return setHeight; }
    ImgData* image(int idx) const { return idx >= 0 && idx < count() ? images.at(idx) : nullptr; }

    // The handles point at the slot in which a reference panel keeps its
    // current image, so they follow every reload. Non-owning.
    void setI0Handle(ImgData** slot) { i0Image = slot; }
    void setBgHandle(ImgData** slot) { bgImage = slot; }
    // The reference image when one is loaded and ready, else nullptr.
    ImgData* i0() const;
    ImgData* bg() const;

    // ln((I0 - BG) / (I - BG)); a difference that is not positive counts as
    // 1, so a dead pixel never gives NaN or infinity.
    static double normalise(double i, double i0, double bg)
    {
        double a = i0 - bg;
        double b = i - bg;
        if (!(a > 0.0))
            a = 1.0;
        if (!(b > 0.0))
            b = 1.0;
        return std::log(a / b);
    }

public slots:
    void clear();
    void clearImgs();

signals:
    void imageUpdated();

private:
    int setWidth = 0;
    int setHeight = 0;
    bool linesOnly = false;
    QList<ImgData*> images;
    ImgData** i0Image = nullptr;
    ImgData** bgImage = nullptr;
};
