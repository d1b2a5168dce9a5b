#include "Pictures.h"

#include "Fonts.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor kGreen(0, 160, 0);

QPolygonF triangle(qreal x, qreal y, qreal w, qreal h, bool right)
{
    if (right)
        return QPolygonF({QPointF(x, y), QPointF(x + w, y + h / 2), QPointF(x, y + h)});
    return QPolygonF({QPointF(x + w, y), QPointF(x, y + h / 2), QPointF(x + w, y + h)});
}

QIcon wordWithTriangles(const QString &word, bool right)
{
    QPixmap pm(260, 48);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(Fonts::font(Fonts::kArial, 30, true));
    p.setPen(kGreen.darker(150));
    p.setBrush(kGreen);
    const qreal textWidth = 130;
    const qreal x0 = right ? textWidth : 0;
    for (int i = 0; i < 3; ++i)
        p.drawPolygon(triangle(x0 + 8 + i * 40, 6, 34, 36, right));
    p.setPen(Qt::black);
    p.drawText(QRectF(right ? 0 : 130, 0, textWidth, 48), Qt::AlignCenter, word);
    return QIcon(pm);
}

// A thick green arrow pointing up or down.
QIcon arrow(bool up)
{
    QPixmap pm(40, 40);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawPolygon(QPolygonF({QPointF(20, 2), QPointF(38, 22), QPointF(2, 22)}));
    p.drawRect(13, 22, 14, 16);
    p.end();
    return QIcon(up ? pm : pm.transformed(QTransform().scale(1, -1)));
}

} // namespace

namespace Pictures {

QIcon forward()
{
    return wordWithTriangles(QStringLiteral("Tovább"), true);
}

QIcon back()
{
    return wordWithTriangles(QStringLiteral("Vissza"), false);
}

QIcon exitDoor()
{
    QPixmap pm(48, 48);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 60, 20), 2));
    p.setBrush(QColor(180, 130, 70));
    p.drawRect(24, 4, 20, 40);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(40, 25), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::red);
    p.drawRect(4, 20, 16, 8);
    p.drawPolygon(triangle(18, 12, 14, 24, true));
    return QIcon(pm);
}

QIcon stopSign()
{
    QPixmap pm(48, 48);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const qreal a = (22.5 + 45 * i) * M_PI / 180;
        octagon << QPointF(24 + 22 * std::cos(a), 24 + 22 * std::sin(a));
    }
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor(200, 0, 0));
    p.drawPolygon(octagon);
    p.setFont(Fonts::font(Fonts::kArial, 12, true));
    p.drawText(QRectF(0, 0, 48, 48), Qt::AlignCenter, QStringLiteral("STOP"));
    return QIcon(pm);
}

QIcon arrowUp()
{
    return arrow(true);
}

QIcon arrowDown()
{
    return arrow(false);
}

} // namespace Pictures
