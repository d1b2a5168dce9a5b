#include "CsvExport.h"

#include "PointCatalogue.h"

#include <QStringList>

namespace {

QByteArray line(const QStringList &fields)
{
    QStringList quoted;
    for (const QString &f : fields)
        quoted.append(CsvExport::field(f));
    return quoted.join(u';').toUtf8() + "\r\n";
}

} // namespace

QString CsvExport::field(const QString &text)
{
    QString out = text;
    if (!out.isEmpty() && QStringView(u"=+-@\t\r").contains(out.front()))
        out.prepend(u'\'');
    if (out.contains(u';') || out.contains(u'"') || out.contains(u'\n') || out.contains(u'\r'))
        out = u'"' + out.replace(u'"', QStringLiteral("\"\"")) + u'"';
    return out;
}

QByteArray CsvExport::header()
{
    return QByteArray("\xEF\xBB\xBF") +
           line({QStringLiteral("Vizsgálat"), QStringLiteral("Kezdés"), QStringLiteral("Befejezés"),
                 QStringLiteral("Állomás"), QStringLiteral("Kategória"),
                 QStringLiteral("Pont sorszáma"), QStringLiteral("Pont"),
                 QStringLiteral("Pont neve"), QStringLiteral("Alap"), QStringLiteral("Érték (µm)"),
                 QStringLiteral("Bevitel"), QStringLiteral("Mérés ideje"), QStringLiteral("Átadva"),
                 QStringLiteral("Minősítés"), QStringLiteral("Rendszám / alvázszám"),
                 QStringLiteral("Vizsgáló"), QStringLiteral("Félbeszakadt")});
}

QByteArray CsvExport::rows(const Inspection &inspection, const VerdictBands &bands)
{
    QByteArray out;
    // Judged with other limits than those in force when it ended: said in each row.
    const QString mark =
        inspection.judgedWith == bands ? QString() : QStringLiteral(" (újraminősítve)");
    // The plate and the VIN in the one column older versions wrote.
    QStringList vehicle;
    for (const QString &given : {inspection.plate, inspection.vin}) {
        if (!given.isEmpty())
            vehicle.append(given);
    }
    for (const ArchivedReading &r : inspection.readings) {
        const std::optional<QDateTime> sent = inspection.sentAt(r.point);
        out += line(
            {QString::number(inspection.id), timeText(inspection.started),
             timeText(inspection.ended), inspection.station, inspection.category,
             QString::number(r.point + 1), PointCatalogue::pointId(r.point),
             PointCatalogue::displayName(r.point), substrateName(r.substrate),
             QString::number(r.value),
             r.source == ReadingSource::Typed ? QStringLiteral("kézi") : QStringLiteral("műszer"),
             timeText(r.takenAt), sent ? timeText(*sent) : QString(),
             verdictName(bands.judge(r)) + mark, vehicle.join(QStringLiteral(" / ")),
             inspection.inspector, inspection.interrupted ? QStringLiteral("igen") : QString()});
    }
    return out;
}
