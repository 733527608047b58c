// Repainting a zoomed 4096 x 4096 image in a 1000 x 1000 display frame,
// offscreen. FENU2_BENCH_OWN_MAIN: the widgets need a QApplication.
#include "display/widgets/dispb.h"
#include "display/widgets/imgdisp.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>

static void BM_ImgDispPaint(benchmark::State& state)
{
    QImage img(4096, 4096, QImage::Format_Grayscale8);
    for (int y = 0; y < img.height(); ++y) {
        uchar* row = img.scanLine(y);
        for (int x = 0; x < img.width(); ++x)
            row[x] = uchar((x * 7 + y * 13) & 0xff);
    }
    ImgDisp d; // its only child is the frame, without margins
    d.resize(1000, 1000);
    d.show();
    QApplication::processEvents();
    if (d.dispB()->size() != QSize(1000, 1000)) {
        state.SkipWithError("the frame is not 1000 x 1000");
        return;
    }
    d.setImage(img);
    d.newImage();
    d.setView(QRectF(1000.3, 700.6, 2500.5, 2400.25)); // zoomed in, 2.5 image pixels per frame pixel
    QImage target(1000, 1000, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::black);
    d.dispB()->render(&target);
    // Frame pixel (400, 400) shows image pixel (2001, 1661).
    const int want = (2001 * 7 + 1661 * 13) & 0xff;
    if (qGray(target.pixel(400, 400)) != want) {
        state.SkipWithError("the frame did not paint the image");
        return;
    }
    for (auto _ : state) {
        d.dispB()->render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 1000 * 1000);
}
BENCHMARK(BM_ImgDispPaint)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
