#pragma once

#include <QAbstractTableModel>

#include "PointStatistics.h"
#include "StatisticsText.h"

// One row per point of an inspection: its readings, n, minimum, maximum,
// mean, deviation and verdict, in the columns of StatisticsColumn.
class PointTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kPointRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    void setInspection(const Inspection &inspection, const VerdictBands &bands);
    const QList<PointStatistics> &statistics() const { return m_statistics; }
    int rowOfPoint(int point) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<PointStatistics> m_statistics;
    QList<QStringList> m_texts;
};
