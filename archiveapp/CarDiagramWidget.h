#pragma once

#include <QStringList>
#include <QWidget>

#include "CarDiagram.h"

// The car diagram in the window, with the legend beside it. Hovering over a
// point shows its figures; clicking it selects it.
class CarDiagramWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CarDiagramWidget(QWidget *parent = nullptr);

    // Verdicts and tool-tip texts per catalogue point.
    void setPoints(const CarDiagram::Verdicts &verdicts, const QStringList &tips);
    void setHighlighted(int point);
    const CarDiagram::Verdicts &verdicts() const { return m_verdicts; }
    // Where the car is drawn, in widget coordinates.
    QRectF diagramArea() const;

    QSize sizeHint() const override { return {420, 340}; }

Q_SIGNALS:
    void pointClicked(int point);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;

private:
    CarDiagram::Verdicts m_verdicts{};
    QStringList m_tips;
    int m_highlighted = -1;
};
