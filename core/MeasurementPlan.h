#pragma once

#include <QAbstractListModel>
#include <QList>
#include <array>

#include "PointCatalogue.h"

// One entry of a plan: the catalogue index and whether it is to be measured.
struct PlanEntry
{
    int index = 0;
    bool ticked = false;

    friend bool operator==(const PlanEntry &, const PlanEntry &) = default;
};

using PlanSnapshot = std::array<PlanEntry, PointCatalogue::kPointCount>;

// The measurement plan: the 23 points in measuring order, each ticked or not,
// with one highlighted entry. The check list on the first page is a view of
// this model, so the two can never disagree. The three identification-number
// points are ticked whatever any operation asks.
class MeasurementPlan : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int kIndexRole = Qt::UserRole;

    explicit MeasurementPlan(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const PlanEntry &entry(int row) const { return m_entries.at(row); }
    PlanSnapshot snapshot() const;
    // Catalogue indexes of the ticked entries, top to bottom.
    QList<int> tickedPoints() const;

    int highlighted() const { return m_highlighted; }
    void setHighlighted(int row);
    bool canMoveUp() const { return m_highlighted > 0; }
    bool canMoveDown() const { return m_highlighted >= 0 && m_highlighted < rowCount() - 1; }
    QString highlightedDescription() const;

    // The user toggled a tick (check box or space bar).
    void toggleTick(int row);
    // The user double-clicked the highlighted entry.
    void doubleClickHighlighted();
    void moveUp();
    void moveDown();
    void tickAll();
    void tickNone();
    // Catalogue order, every point keeping its tick.
    void restoreDefaultOrder();
    void apply(const PlanSnapshot &preset);

Q_SIGNALS:
    // The highlighted row moved (after a move, a rebuild or a click).
    void highlightChanged(int row);

private:
    void rebuild(const QList<PlanEntry> &entries);
    void setTick(int row, bool ticked);

    QList<PlanEntry> m_entries;
    int m_highlighted = -1;
};
