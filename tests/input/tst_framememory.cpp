#include "input/framememory.h"
#include "input/pixelformat.h"

#include <QtTest>

#include <cstring>
#include <memory>

// Frame memory handed out ahead of time by a helper thread: no block may be
// handed to two owners, whatever the order of sizes and frees.
class TstFrameMemory : public QObject
{
    Q_OBJECT

private slots:
    void blocksNeverShared_data();
    void blocksNeverShared();
};

void TstFrameMemory::blocksNeverShared_data()
{
    QTest::addColumn<QList<int>>("kib"); // sizes in KiB, one frame each
    QTest::addColumn<int>("freeEvery");  // free every n-th frame at once (0: keep all)

    QTest::newRow("one size, all kept") << QList<int>(12, 8192) << 0;
    QTest::newRow("one size, freed and taken again") << QList<int>(12, 8192) << 2;
    QTest::newRow("sizes change under the helper")
        << QList<int>{8192, 2048, 8192, 3073, 3073, 100, 2048, 8192, 2049, 2049} << 3;
}

void TstFrameMemory::blocksNeverShared()
{
    QFETCH(QList<int>, kib);
    QFETCH(int, freeEvery);
    std::vector<std::unique_ptr<FrameBytes>> live;
    std::vector<uint8_t> marks;
    for (int i = 0; i < kib.size(); ++i) {
        auto f = std::make_unique<FrameBytes>();
        f->resize(std::size_t(kib[i]) * 1024);
        std::memset(f->data(), i + 1, f->size());
        if (freeEvery && i % freeEvery == 0)
            continue; // freed at once; its block may go to a later frame
        live.push_back(std::move(f));
        marks.push_back(uint8_t(i + 1));
    }
    // Every frame still holds what was written into it.
    for (std::size_t k = 0; k < live.size(); ++k) {
        const FrameBytes& f = *live[k];
        QVERIFY(f.front() == marks[k] && f.back() == marks[k] && f[f.size() / 2] == marks[k]);
    }
}

QTEST_APPLESS_MAIN(TstFrameMemory)
#include "tst_framememory.moc"
