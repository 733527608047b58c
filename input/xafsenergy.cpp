#include "input/xafsenergy.h"

#include <cmath>

double EnergyField::factor() const
{
    return unit.compare(QLatin1String("KEV"), Qt::CaseInsensitive) == 0 ? 1000.0 : 1.0;
}

EnergyField parseEnergyField(const QString& field)
{
    EnergyField f;
    int lastDigit = int(field.size()) - 1;
    while (lastDigit >= 0 && !(field.at(lastDigit) >= QLatin1Char('0') && field.at(lastDigit) <= QLatin1Char('9')))
        --lastDigit;
    if (lastDigit < 0)
        return f;
    QString number = field.left(lastDigit + 1);
    number.replace(QLatin1Char('_'), QLatin1Char('.'));
    f.value = number.toDouble(&f.ok);
    f.unit = field.mid(lastDigit + 1);
    return f;
}

double energyFromFileName(const QString& name)
{
    const QString head = name.left(name.lastIndexOf(QLatin1Char('-')));
    const EnergyField f = parseEnergyField(head.mid(head.lastIndexOf(QLatin1Char('-')) + 1));
    return f.value * f.factor();
}

// An unreadable energy (NaN) is never nearer than a real one.
static double distance(double a, double b)
{
    const double d = std::abs(a - b);
    return std::isnan(d) ? HUGE_VAL : d;
}

int nearestEnergyIndex(const QVector<double>& energies, double e)
{
    int best = 0;
    for (int i = 1; i < energies.size(); ++i)
        if (distance(energies[i], e) < distance(energies[best], e))
            best = i;
    return best;
}
