#include "recon/pngencode.h"
#include "recon/resimage.h"

#include <QBuffer>
#include <QImageWriter>
#include <QtTest>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace {

QImage grey(int w, int h, const std::function<int(int, int)>& level)
{
    QImage img(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.scanLine(y)[x] = uchar(level(x, y) & 0xff);
    return img;
}

// A result picture as workers make it: a disc with structure, zeros around.
QImage resultPicture(int n)
{
    std::vector<double> r(std::size_t(n) * n);
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0.0, 0.05);
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x) {
            const double dx = x - n / 2.0, dz = z - n / 2.0;
            const bool in = dx * dx + dz * dz < 0.2 * n * n;
            r[std::size_t(z) * n + x] = in ? 1.0 + std::sin(x * 0.05) * std::cos(z * 0.07) + noise(rng) : 0.0;
        }
    ColorScale cs;
    cs.vmin = -0.5;
    cs.vmax = 2.5;
    return makeResImage(r.data(), n, cs);
}

// The image writer's bytes, as the saver made them before the workers encoded.
QByteArray writerPng(const QImage& img)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    QImageWriter(&buf, "png").write(img);
    return bytes;
}

QImage decoded(const QByteArray& png)
{
    QImage back;
    back.loadFromData(png, "png");
    return back;
}

} // namespace

// Saved pictures are measurements: any pixel changed by the encoder is a wrong result on disk.
class TstPngEncode : public QObject
{
    Q_OBJECT

private slots:
    void samePixelsAsTheImageWriter_data()
    {
        QTest::addColumn<QImage>("img");
        std::mt19937 rng(1);
        QTest::newRow("noise, odd size") << grey(97, 61, [&](int, int) { return int(rng()); });
        QTest::newRow("gradients (every filter wins somewhere)")
            << grey(256, 256, [](int x, int y) { return x * 7 + y * 13 + (x * y >> 6); });
        QTest::newRow("one pixel") << grey(1, 1, [](int, int) { return 200; });
        QTest::newRow("one column") << grey(1, 40, [](int, int y) { return y * 5; });
        QTest::newRow("result picture 512") << resultPicture(512);
        QImage noRes = resultPicture(64);
        noRes.setDotsPerMeterX(0);
        QTest::newRow("no resolution") << noRes;
        QImage colour = resultPicture(32).convertToFormat(QImage::Format_RGB32);
        QTest::newRow("colour (image writer)") << colour;
    }
    void samePixelsAsTheImageWriter()
    {
        QFETCH(QImage, img);
        const QImage before = decoded(writerPng(img));
        for (int level : {-1, 0, 1, 9}) {
            const QImage back = decoded(encodePng(img, level));
            QVERIFY2(!back.isNull(), qPrintable(QString::number(level)));
            QCOMPARE(back.convertToFormat(img.format()), img);
            QCOMPARE(back, before);
            QCOMPARE(back.dotsPerMeterX(), before.dotsPerMeterX());
        }
    }

    // The configured level reaches the compressor; the default is zlib's 6,
    // and a result picture comes out about as small as the image writer made it.
    void compressionLevels()
    {
        const QImage img = resultPicture(256);
        QMap<int, QByteArray> bytes;
        for (int level : {-1, 0, 1, 6, 9, 10})
            bytes[level] = encodePng(img, level);
        QVERIFY(bytes[0].size() > img.width() * img.height()); // stored
        QVERIFY(bytes[1].size() < bytes[0].size() / 2);
        QVERIFY(bytes[9].size() <= bytes[6].size());
        QCOMPARE(bytes[6], bytes[-1]);
        QCOMPARE(bytes[10], bytes[-1]);
        QVERIFY2(bytes[-1].size() <= writerPng(img).size() * 1.05, qPrintable(QString::number(bytes[-1].size())));
        QVERIFY(encodePng(QImage()).isEmpty());
    }

    // A picture's pixel memory serves again only once nobody holds it.
    void picturesReuseMemory()
    {
        ColorScale cs;
        auto picture = [&cs](double v) {
            const std::vector<double> r(9 * 9, v);
            return makeResImage(r.data(), 9, cs);
        };
        const QImage held = picture(0.25);
        const QImage before = held.copy();
        QImage next = picture(0.75);
        QVERIFY(next.constBits() != held.constBits());
        QVERIFY(next != held);
        const uchar* freed = next.constBits();
        next = QImage();
        const QImage last = picture(0.5);
        QCOMPARE(last.constBits(), freed);
        const QImage other = picture(1.0);
        QVERIFY(other.constBits() != last.constBits() && other.constBits() != held.constBits());
        QCOMPARE(held, before);
        QVERIFY(last != held);
    }
};

QTEST_MAIN(TstPngEncode)
#include "tst_pngencode.moc"
