#include "recon/bigbuffer.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <cstdint>

namespace {

// The smaps block of the mapping that holds p.
QByteArray mappingOf(const void* p)
{
    QFile f(QStringLiteral("/proc/self/smaps"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const auto a = reinterpret_cast<std::uintptr_t>(p);
    QByteArray block;
    bool inside = false;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const int dash = line.indexOf('-');
        const int space = line.indexOf(' ');
        bool okLo = false, okHi = false;
        const auto lo = dash > 0 && space > dash ? line.left(dash).toULongLong(&okLo, 16) : 0;
        const auto hi = okLo ? line.mid(dash + 1, space - dash - 1).toULongLong(&okHi, 16) : 0;
        if (okLo && okHi) {
            if (inside)
                break;
            inside = a >= lo && a < hi;
        }
        if (inside)
            block += line + '\n';
    }
    return block;
}

} // namespace

// A buffer that is not where the engine expects it corrupts results; one
// that is not marked pays the page faults this exists to avoid.
class TstBigBuffer : public QObject
{
    Q_OBJECT

private slots:
    void allocations_data()
    {
        QTest::addColumn<qulonglong>("bytes");
        QTest::newRow("empty") << qulonglong(0);
        QTest::newRow("small, from the heap") << qulonglong(100);
        QTest::newRow("just below a huge page") << qulonglong(kHugePage - 8);
        QTest::newRow("one huge page") << qulonglong(kHugePage);
        QTest::newRow("odd size over three") << qulonglong(3 * kHugePage + 12345);
    }
    void allocations()
    {
        QFETCH(qulonglong, bytes);
        BigVector<std::uint8_t> v(bytes);
        for (std::size_t i = 0; i < v.size(); i += 4093)
            v[i] = std::uint8_t(i);
        for (std::size_t i = 0; i < v.size(); i += 4093)
            QCOMPARE(v[i], std::uint8_t(i));
        if (bytes >= kHugePage) {
            QCOMPARE(reinterpret_cast<std::uintptr_t>(v.data()) % kHugePage, std::uintptr_t(0));
            QFile thp(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
            const bool offered = thp.open(QIODevice::ReadOnly) && !thp.readAll().contains("[never]");
            const QByteArray map = mappingOf(v.data());
            if (offered && map.contains("THPeligible"))
                QVERIFY2(QRegularExpression("THPeligible: +1\n").match(QString::fromLatin1(map)).hasMatch(), map.constData());
        }
        v.resize(v.size() * 2 + 1, 7); // moves to a new block, the old one is returned
        QCOMPARE(v.back(), std::uint8_t(7));
    }
};

QTEST_MAIN(TstBigBuffer)
#include "tst_bigbuffer.moc"
