#include "MeasurementPlan.h"

MeasurementPlan::MeasurementPlan(QObject *parent) : QAbstractListModel(parent)
{
    QList<PlanEntry> entries;
    for (int i = 0; i < PointCatalogue::kPointCount; ++i)
        entries.append({i, true});
    rebuild(entries);
}

int MeasurementPlan::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant MeasurementPlan::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const PlanEntry &e = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return PointCatalogue::displayName(e.index);
    case Qt::CheckStateRole:
        return e.ticked ? Qt::Checked : Qt::Unchecked;
    case kIndexRole:
        return e.index;
    default:
        return {};
    }
}

bool MeasurementPlan::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::CheckStateRole)
        return false;
    setHighlighted(index.row());
    setTick(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags MeasurementPlan::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

PlanSnapshot MeasurementPlan::snapshot() const
{
    PlanSnapshot s{};
    for (int i = 0; i < rowCount(); ++i)
        s[size_t(i)] = m_entries.at(i);
    return s;
}

QList<int> MeasurementPlan::tickedPoints() const
{
    QList<int> points;
    for (const PlanEntry &e : m_entries) {
        if (e.ticked)
            points.append(e.index);
    }
    return points;
}

void MeasurementPlan::setHighlighted(int row)
{
    if (row < 0 || row >= rowCount())
        row = rowCount() > 0 ? 0 : -1;
    if (row == m_highlighted)
        return;
    m_highlighted = row;
    Q_EMIT highlightChanged(row);
}

QString MeasurementPlan::highlightedDescription() const
{
    if (m_highlighted < 0)
        return {};
    return PointCatalogue::description(m_entries.at(m_highlighted).index);
}

void MeasurementPlan::setTick(int row, bool ticked)
{
    PlanEntry &e = m_entries[row];
    e.ticked = ticked || PointCatalogue::isMandatory(e.index);
    const QModelIndex i = index(row);
    // Always notify: a view that toggled a mandatory point must redraw it ticked.
    Q_EMIT dataChanged(i, i, {Qt::CheckStateRole});
}

void MeasurementPlan::toggleTick(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    setHighlighted(row);
    setTick(row, !m_entries.at(row).ticked);
}

void MeasurementPlan::doubleClickHighlighted()
{
    if (m_highlighted < 0)
        return;
    setTick(m_highlighted, !m_entries.at(m_highlighted).ticked);
}

void MeasurementPlan::moveUp()
{
    if (!canMoveUp())
        return;
    const int row = m_highlighted;
    beginMoveRows({}, row, row, {}, row - 1);
    m_entries.swapItemsAt(row, row - 1);
    endMoveRows();
    m_highlighted = -1;
    setHighlighted(row - 1);
}

void MeasurementPlan::moveDown()
{
    if (!canMoveDown())
        return;
    const int row = m_highlighted;
    beginMoveRows({}, row, row, {}, row + 2);
    m_entries.swapItemsAt(row, row + 1);
    endMoveRows();
    m_highlighted = -1;
    setHighlighted(row + 1);
}

void MeasurementPlan::tickAll()
{
    for (int row = 0; row < rowCount(); ++row)
        m_entries[row].ticked = true;
    Q_EMIT dataChanged(index(0), index(rowCount() - 1), {Qt::CheckStateRole});
}

void MeasurementPlan::tickNone()
{
    for (PlanEntry &e : m_entries)
        e.ticked = PointCatalogue::isMandatory(e.index);
    Q_EMIT dataChanged(index(0), index(rowCount() - 1), {Qt::CheckStateRole});
}

void MeasurementPlan::restoreDefaultOrder()
{
    QList<PlanEntry> entries(PointCatalogue::kPointCount);
    for (int i = 0; i < PointCatalogue::kPointCount; ++i)
        entries[i] = {i, false};
    for (const PlanEntry &e : m_entries)
        entries[e.index].ticked = e.ticked;
    rebuild(entries);
}

void MeasurementPlan::apply(const PlanSnapshot &preset)
{
    rebuild(QList<PlanEntry>(preset.begin(), preset.end()));
}

void MeasurementPlan::rebuild(const QList<PlanEntry> &entries)
{
    beginResetModel();
    m_entries = entries;
    for (PlanEntry &e : m_entries)
        e.ticked = e.ticked || PointCatalogue::isMandatory(e.index);
    m_highlighted = -1;
    endResetModel();
    setHighlighted(0);
}
