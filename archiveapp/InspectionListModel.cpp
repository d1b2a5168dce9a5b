#include "InspectionListModel.h"

#include "VerdictColours.h"

#include <QBrush>

namespace {

// An inspection kept from the journal after its program ended by force.
const QString kInterrupted = QStringLiteral(" (félbeszakadt)");

QString categoryText(const QString &category)
{
    return category.isEmpty() ? QStringLiteral("(nincs)") : category;
}

} // namespace

Verdict InspectionListModel::worstOf(const InspectionSummary &s) const
{
    return (m_rejudging || !s.judgedWith ? m_bands : *s.judgedWith).worst(s);
}

void InspectionListModel::setInspections(QList<InspectionSummary> inspections, bool more)
{
    beginResetModel();
    m_rows = std::move(inspections);
    m_worst.clear();
    m_worst.reserve(m_rows.size());
    for (const InspectionSummary &s : m_rows)
        m_worst.append(worstOf(s));
    m_more = more;
    m_asked = false;
    endResetModel();
}

void InspectionListModel::appendInspections(const QList<InspectionSummary> &inspections, bool more)
{
    m_asked = false;
    m_more = more;
    if (inspections.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + inspections.size() - 1));
    for (const InspectionSummary &s : inspections) {
        m_rows.append(s);
        m_worst.append(worstOf(s));
    }
    endInsertRows();
}

bool InspectionListModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_more && !m_asked;
}

void InspectionListModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    m_asked = true;
    Q_EMIT moreWanted();
}

void InspectionListModel::setBands(const VerdictBands &bands)
{
    m_bands = bands;
    setInspections(std::move(m_rows), m_more);
}

void InspectionListModel::setRejudging(bool on)
{
    m_rejudging = on;
    setInspections(std::move(m_rows), m_more);
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
            return s.interrupted ? timeText(s.started, false) + kInterrupted
                                 : timeText(s.started, false);
        case Plate:
            return s.plate.isEmpty() ? s.vin : s.plate;
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
    if (role == Qt::ToolTipRole && index.column() == Date && s.interrupted)
        return QStringLiteral("A program a vizsgálat közben váratlanul leállt; a mérései a "
                              "naplóból kerültek az archívumba.");
    if (role == Qt::ToolTipRole && index.column() == Plate && !s.vin.isEmpty())
        return s.plate.isEmpty() ? s.vin : s.plate + QStringLiteral("\n") + s.vin;
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
    case Plate:
        return QStringLiteral("Rendszám");
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
