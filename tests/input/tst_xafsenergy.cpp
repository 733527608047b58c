#include "input/xafsenergy.h"

#include <QtTest>

// In a CT-XAFS run the energy in the file names picks the I0 image; a wrong
// parse silently normalises a data set with the flat of another energy.
class TstXafsEnergy : public QObject
{
    Q_OBJECT

private slots:
    void energyFromFileName_data();
    void energyFromFileName();
    void nearestEnergyIndex_data();
    void nearestEnergyIndex();
};

void TstXafsEnergy::energyFromFileName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("energy");
    QTest::newRow("eV with underscore point") << "/data/ct/scan-7112_5eV-0001.img" << 7112.5;
    QTest::newRow("keV, any case") << "i0-7_1125KeV-0000.img" << 7.1125 * 1000;
    QTest::newRow("integer, no unit") << "i0-8333-0000.his" << 8333.0;
    QTest::newRow("unit then more text") << "s-8979eV_after-1.img" << 8979.0;
    QTest::newRow("only the second-to-last field counts") << "9000eV-scan-7000eV-01.img" << 7000.0;
    QTest::newRow("dash in the directory") << "/beam-2024/E-7100eV/scan-0001.img" << 7100.0;
    QTest::newRow("no dash at all") << "7200eV.img" << 7200.0;
    QTest::newRow("letters before the number") << "scan-E7112eV-0001.img" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
}

void TstXafsEnergy::energyFromFileName()
{
    QFETCH(QString, name);
    QFETCH(double, energy);
    QCOMPARE(::energyFromFileName(name), energy);
}

void TstXafsEnergy::nearestEnergyIndex_data()
{
    QTest::addColumn<QVector<double>>("energies");
    QTest::addColumn<double>("e");
    QTest::addColumn<int>("index");
    const QVector<double> three = {7100, 7110, 7120};
    QTest::newRow("tie goes to the earlier entry") << three << 7115.0 << 1;
    QTest::newRow("below all") << three << 5000.0 << 0;
    QTest::newRow("above all") << three << 9000.0 << 2;
    QTest::newRow("unsorted list") << QVector<double>{7200, 7000, 7105, 7106} << 7104.0 << 2;
    QTest::newRow("unreadable first entry") << QVector<double>{qQNaN(), 7000} << 7001.0 << 1;
    QTest::newRow("empty list") << QVector<double>{} << 7000.0 << 0;
}

void TstXafsEnergy::nearestEnergyIndex()
{
    QFETCH(QVector<double>, energies);
    QFETCH(double, e);
    QFETCH(int, index);
    QCOMPARE(::nearestEnergyIndex(energies, e), index);
}

QTEST_GUILESS_MAIN(TstXafsEnergy)
#include "tst_xafsenergy.moc"
