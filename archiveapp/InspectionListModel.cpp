#include "InspectionListModel.h"

#include "VerdictColours.h"

#include <QBrush>
#include <QHash>
#include <numeric>

namespace {

QString categoryText(const QString &category)
{
    return category.isEmpty() ? QStringLiteral("(nincs)") : category;
}

} // namespace

void InspectionListModel::setInspections(QList<InspectionSummary> inspections)
{
    beginResetModel();
    m_rows = std::move(inspections);
    m_worst.clear();
    m_worst.reserve(m_rows.size());
    for (const InspectionSummary &s : m_rows)
        m_worst.append((m_rejudging || !s.judgedWith ? m_bands : *s.judgedWith).worst(s));
    sortRows();
    endResetModel();
}

void InspectionListModel::setBands(const VerdictBands &bands)
{
    m_bands = bands;
    setInspections(std::move(m_rows));
}

void InspectionListModel::setRejudging(bool on)
{
    m_rejudging = on;
    setInspections(std::move(m_rows));
}

int InspectionListModel::rowOf(qint64 id) const
{
    for (int row = 0; row < int(m_rows.size()); ++row) {
        if (m_rows.at(row).id == id)
            return row;
    }
    return -1;
}

int InspectionListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int InspectionListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant InspectionListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const InspectionSummary &s = m_rows.at(index.row());
    const Verdict worst = m_worst.at(index.row());
    if (role == kIdRole)
        return s.id;
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case Date:
            return timeText(s.started, false);
        case Category:
            return categoryText(s.category);
        case Points:
            return s.pointsMeasured;
        case Readings:
            return s.readingCount;
        case Worst:
            return verdictName(worst);
        case Station:
            return s.station;
        }
    }
    if (role == Qt::ToolTipRole && index.column() == Category)
        return categoryText(s.category);
    if (index.column() == Worst && role == Qt::BackgroundRole)
        return QBrush(verdictColour(worst));
    if (index.column() == Worst && role == Qt::ForegroundRole)
        return QBrush(verdictTextColour(worst));
    if (role == Qt::TextAlignmentRole && (index.column() == Points || index.column() == Readings))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant InspectionListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole && section == Worst)
        return QStringLiteral("A vizsgálat legrosszabb minősítésű pontja");
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Date:
        return QStringLiteral("Dátum");
    case Category:
        return QStringLiteral("Kategória");
    case Points:
        return QStringLiteral("Pontok");
    case Readings:
        return QStringLiteral("Mérések");
    case Worst:
        return QStringLiteral("Legrosszabb");
    case Station:
        return QStringLiteral("Állomás");
    }
    return {};
}

void InspectionListModel::sort(int column, Qt::SortOrder order)
{
    m_sortColumn = column;
    m_sortOrder = order;
    Q_EMIT layoutAboutToBeChanged();
    // The selection follows its inspections to their new rows.
    const QModelIndexList before = persistentIndexList();
    QList<qint64> ids;
    for (const QModelIndex &i : before)
        ids.append(m_rows.at(i.row()).id);
    sortRows();
    QHash<qint64, int> rows;
    for (int row = 0; row < int(m_rows.size()); ++row)
        rows.insert(m_rows.at(row).id, row);
    QModelIndexList after;
    for (qsizetype n = 0; n < before.size(); ++n)
        after.append(index(rows.value(ids.at(n)), before.at(n).column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged();
}

void InspectionListModel::sortRows()
{
    // Sort an index so that the rows and their verdicts move together.
    QList<int> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    const auto key = [this](int i, int column) -> std::tuple<qint64, QString> {
        const InspectionSummary &s = m_rows.at(i);
        switch (column) {
        case Category:
            return {0, s.category};
        case Points:
            return {s.pointsMeasured, {}};
        case Readings:
            return {s.readingCount, {}};
        case Worst:
            return {qint64(m_worst.at(i)), {}};
        case Station:
            return {0, s.station};
        default:
            return {s.started.toMSecsSinceEpoch(), {}};
        }
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const auto ka = key(a, m_sortColumn);
        const auto kb = key(b, m_sortColumn);
        if (ka == kb)
            return m_rows.at(a).id > m_rows.at(b).id;
        return m_sortOrder == Qt::AscendingOrder ? ka < kb : kb < ka;
    });
    QList<InspectionSummary> rows;
    QList<Verdict> worst;
    rows.reserve(order.size());
    worst.reserve(order.size());
    for (int i : order) {
        rows.append(m_rows.at(i));
        worst.append(m_worst.at(i));
    }
    m_rows = std::move(rows);
    m_worst = std::move(worst);
}
