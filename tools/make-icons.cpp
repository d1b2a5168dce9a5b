// Draws the two programs' icons as the pictures in packaging/linux/*.svg show
// them, into the files the builds take: PNG for the window icons (Qt
// resources) and ICO for the Windows executables. Run when the pictures
// change:   kfz-make-icons packaging/icons
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <tuple>

namespace {

// The pictures are drawn on a 64 x 64 grid, as in the SVG files.
void drawWizard(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#1f5fa8"));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(9, 7, 24, 50), 8, 8);
    p.setBrush(QColor("#0d2f57"));
    // The windscreen and the rear window: a curved edge and a straight one.
    for (const auto &[edge, bulge, inner] : {std::tuple{21.0, 16.0, 27.0}, {47.0, 51.0, 42.0}}) {
        QPainterPath glass;
        glass.moveTo(12, edge);
        glass.quadTo(21, bulge, 30, edge);
        glass.lineTo(28, inner);
        glass.lineTo(14, inner);
        glass.closeSubpath();
        p.drawPath(glass);
    }
    p.setBrush(QColor("#dfe6ee"));
    p.drawRoundedRect(QRectF(14, 29, 14, 11), 2, 2);
    p.setPen(QPen(QColor("#0d2f57"), 3));
    p.setBrush(QColor("#f2f2f2"));
    p.drawEllipse(QPointF(44, 40), 14, 14);
    p.setBrush(Qt::NoBrush);
    const QRectF dial(34, 34, 20, 20);
    p.setPen(QPen(QColor("#2e9e44"), 3));
    p.drawArc(dial, 16 * 156, -16 * 132);
    p.setPen(QPen(QColor("#d43a2f"), 3));
    p.drawArc(dial, 16 * 45, -16 * 21);
    p.setPen(QPen(QColor("#0d2f57"), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(44, 42), QPointF(49.5, 33));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#0d2f57"));
    p.drawEllipse(QPointF(44, 42), 2.5, 2.5);
}

void drawArchive(QPainter &p)
{
    const QColor slate("#3b4a5a");
    p.setPen(Qt::NoPen);
    p.setBrush(slate);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(10, 8, 44, 50), 3, 3);
    p.setPen(QPen(slate, 1.5));
    p.setBrush(QColor("#dfe6ee"));
    p.drawRoundedRect(QRectF(16, 12, 18, 38), 7, 7);
    p.setPen(Qt::NoPen);
    const struct
    {
        double x, y;
        const char *colour;
    } points[] = {{20, 20, "#2e9e44"}, {30, 20, "#2e9e44"}, {20, 31, "#e3a21a"},
                  {30, 31, "#2e9e44"}, {20, 42, "#2e9e44"}, {30, 42, "#d43a2f"}};
    for (const auto &pt : points) {
        p.setBrush(QColor(pt.colour));
        p.drawEllipse(QPointF(pt.x, pt.y), 2.6, 2.6);
    }
    p.setPen(QPen(slate, 2.5, Qt::SolidLine, Qt::RoundCap));
    for (int y : {16, 23, 30, 37, 44})
        p.drawLine(QPointF(38, y), QPointF(49, y));
    p.drawLine(QPointF(16, 53), QPointF(49, 53));
}

QImage render(void (*draw)(QPainter &), int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    draw(p);
    return image;
}

bool save(const QImage &image, const QString &path, const char *format)
{
    QImageWriter writer(path, format);
    if (writer.write(image))
        return true;
    std::fprintf(stderr, "kfz-make-icons: %s: %s\n", qPrintable(path),
                 qPrintable(writer.errorString()));
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kfz-make-icons FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    bool ok = true;
    for (const auto &[name, draw] :
         {std::pair{"kromaglenforzov", &drawWizard}, std::pair{"kromaglenarchive", &drawArchive}}) {
        const QString base = out.filePath(QLatin1String(name));
        ok = save(render(draw, 256), base + ".png", "png") && ok;
        ok = save(render(draw, 64), base + ".ico", "ico") && ok;
    }
    return ok ? 0 : 1;
}
