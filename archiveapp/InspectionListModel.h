#pragma once

#include <QAbstractTableModel>

#include "Inspection.h"
#include "VerdictBands.h"

// The list of inspections: date, category, points measured, readings, the
// worst verdict under the limits it was judged with (today's when
// re-judging, or for inspections stored without them), station. Rows are kept
// newest stored first; the view sorts them through a proxy by kSortRole, whose
// ties then fall back to that order.
class InspectionListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Date, Category, Points, Readings, Worst, Station, ColumnCount };
    static constexpr int kIdRole = Qt::UserRole;
    // What a column sorts by: the moment, the raw category, counts as numbers,
    // the verdict by severity.
    static constexpr int kSortRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    void setInspections(QList<InspectionSummary> inspections);
    void setBands(const VerdictBands &bands);
    void setRejudging(bool on);
    const InspectionSummary &at(int row) const { return m_rows.at(row); }
    int rowOf(qint64 id) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<InspectionSummary> m_rows;
    QList<Verdict> m_worst;
    VerdictBands m_bands;
    bool m_rejudging = false;
};
