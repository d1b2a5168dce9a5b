#include "PointTableModel.h"

#include "VerdictColours.h"

#include <QBrush>

void PointTableModel::setInspection(const Inspection &inspection, const VerdictBands &bands)
{
    beginResetModel();
    m_statistics = PointStatistics::perPoint(inspection, bands);
    m_texts.clear();
    for (const PointStatistics &s : m_statistics)
        m_texts.append(statisticsRow(s, inspection));
    endResetModel();
}

int PointTableModel::rowOfPoint(int point) const
{
    for (int row = 0; row < int(m_statistics.size()); ++row) {
        if (m_statistics.at(row).point == point)
            return row;
    }
    return -1;
}

int PointTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_statistics.size());
}

int PointTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : StatisticsColumn::ColumnCount;
}

QVariant PointTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_statistics.size()))
        return {};
    const PointStatistics &s = m_statistics.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return m_texts.at(index.row()).value(index.column());
    case Qt::ToolTipRole:
        return index.column() == StatisticsColumn::Readings
                   ? m_texts.at(index.row()).value(StatisticsColumn::Readings)
                   : QVariant();
    case kPointRole:
        return s.point;
    case Qt::BackgroundRole:
        return index.column() == StatisticsColumn::Verdict ? QBrush(verdictColour(s.verdict))
                                                           : QVariant();
    case Qt::ForegroundRole:
        return index.column() == StatisticsColumn::Verdict ? QBrush(verdictTextColour(s.verdict))
                                                           : QVariant();
    case Qt::TextAlignmentRole:
        if (index.column() == StatisticsColumn::Number ||
            StatisticsColumn::isFigure(index.column()))
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    }
    return {};
}

QVariant PointTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole &&
        section == StatisticsColumn::Readings)
        return kTypedNote;
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return statisticsHeader().value(section);
}
