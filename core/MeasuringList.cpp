#include "MeasuringList.h"

void MeasuringList::fill(const QList<int> &points)
{
    m_points = points;
    m_position = points.isEmpty() ? -1 : 0;
}

int MeasuringList::currentPoint() const
{
    return m_position < 0 ? -1 : m_points.at(m_position);
}

void MeasuringList::select(int position)
{
    if (position >= 0 && position < count())
        m_position = position;
}

bool MeasuringList::stepForward()
{
    if (atLast())
        return false;
    ++m_position;
    return true;
}

bool MeasuringList::stepBack()
{
    if (atFirst())
        return false;
    --m_position;
    return true;
}
