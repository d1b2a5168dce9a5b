#pragma once

#include <QList>

// The points of the measuring page in plan order and the one being measured.
class MeasuringList
{
public:
    void fill(const QList<int> &points);
    const QList<int> &points() const { return m_points; }
    int count() const { return int(m_points.size()); }
    int position() const { return m_position; }
    // The catalogue index of the current point, or -1 with an empty list.
    int currentPoint() const;
    bool atFirst() const { return m_position <= 0; }
    bool atLast() const { return m_position < 0 || m_position >= count() - 1; }
    void select(int position);
    // Both return false (and do not move) at the end of the list.
    bool stepForward();
    bool stepBack();

private:
    QList<int> m_points;
    int m_position = -1;
};
