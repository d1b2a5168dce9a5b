#pragma once

#include <QAbstractTableModel>

#include "Inspection.h"
#include "VerdictBands.h"

// The list of inspections: date, plate (else VIN), category, points measured, readings, the
// worst verdict under the limits it was judged with (today's when
// re-judging, or for inspections stored without them), station. Rows come a
// page at a time in the order the archive sorted them; when the view wants
// more, moreWanted() asks the owner for the next page.
class InspectionListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Date, Plate, Category, Points, Readings, Worst, Station, ColumnCount };
    static constexpr int kIdRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    // The first page; `more`: the archive holds further rows.
    void setInspections(QList<InspectionSummary> inspections, bool more = false);
    // The next page, after those shown.
    void appendInspections(const QList<InspectionSummary> &inspections, bool more);
    void setBands(const VerdictBands &bands);
    void setRejudging(bool on);
    const InspectionSummary &at(int row) const { return m_rows.at(row); }
    int rowOf(qint64 id) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

Q_SIGNALS:
    void moreWanted();

private:
    Verdict worstOf(const InspectionSummary &s) const;

    QList<InspectionSummary> m_rows;
    QList<Verdict> m_worst;
    VerdictBands m_bands;
    bool m_rejudging = false;
    bool m_more = false;
    bool m_asked = false; // for the next page, not yet come
};
