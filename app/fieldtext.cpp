#include "app/fieldtext.h"

int fieldInt(const QString& text)
{
    return text.toInt();
}

double fieldDouble(const QString& text)
{
    return text.toDouble();
}

QString doubleText(double v)
{
    return QString::number(v, 'g', 6);
}
