// Prints the fixed recording texts followed by one "POINT_ID|display name"
// line per catalogue point: the input of make-recordings.sh.
#include "PointCatalogue.h"

#include <QFile>
#include <QTextStream>

int main(int argc, char *argv[])
{
    if (argc != 3)
        return 2;
    QFile fixed(QString::fromLocal8Bit(argv[1]));
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!fixed.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return 1;
    out.write(fixed.readAll());
    QTextStream s(&out);
    for (int i = 0; i < PointCatalogue::kPointCount; ++i)
        s << PointCatalogue::pointId(i) << '|' << PointCatalogue::displayName(i) << '\n';
    return 0;
}
