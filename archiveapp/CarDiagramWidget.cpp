#include "CarDiagramWidget.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

CarDiagramWidget::CarDiagramWidget(QWidget *parent) : QWidget(parent)
{
    m_verdicts.fill(Verdict::None);
    setMinimumSize(260, 240);
    setMouseTracking(true);
}

void CarDiagramWidget::setPoints(const CarDiagram::Verdicts &verdicts, const QStringList &tips)
{
    m_verdicts = verdicts;
    m_tips = tips;
    update();
}

void CarDiagramWidget::setHighlighted(int point)
{
    m_highlighted = point;
    update();
}

QRectF CarDiagramWidget::diagramArea() const
{
    return QRectF(0, 0, width() * 0.6, height());
}

void CarDiagramWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    CarDiagram::paint(painter, diagramArea(), m_verdicts, m_highlighted);
    const QRectF area = diagramArea();
    CarDiagram::paintLegend(painter,
                            QRectF(area.right() + 8, 12, width() - area.right() - 12, height()));
}

void CarDiagramWidget::mousePressEvent(QMouseEvent *event)
{
    const int point = CarDiagram::pointAt(event->position(), diagramArea());
    if (point >= 0)
        Q_EMIT pointClicked(point);
}

bool CarDiagramWidget::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int point = CarDiagram::pointAt(help->pos(), diagramArea());
        if (point >= 0 && point < m_tips.size())
            QToolTip::showText(help->globalPos(), m_tips.at(point), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}
