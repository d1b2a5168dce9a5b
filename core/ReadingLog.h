#pragma once

#include <QList>
#include <QStringList>
#include <array>

#include "PointCatalogue.h"
#include "Reading.h"

// The readings taken at every catalogue point during this run, oldest first.
class ReadingLog
{
public:
    static constexpr int kManualMinimum = 5;
    static constexpr int kManualMaximum = 1000;

    // A manually typed value: a non-integer counts as the minimum, then the
    // value is clamped to 5..1000.
    static int clampManualValue(const QString &text);
    // The line to select after deleting line `deleted` from a list that now has
    // `remaining` lines: the same position, the new last one, or none (-1).
    static int selectionAfterDelete(int deleted, int remaining);

    const QList<Reading> &readings(int point) const { return m_lists.at(size_t(point)); }
    // The point's readings as its list shows them ("FE 123 µm").
    QStringList lines(int point) const;
    int count(int point) const { return int(readings(point).size()); }
    // Appends a reading and marks the log as holding unsaved readings.
    void append(int point, const Reading &reading);
    void removeAt(int point, int line);
    // Empties every point's log and clears the unsaved mark.
    void clearAll();
    bool unsavedReadings() const { return m_unsaved; }

private:
    std::array<QList<Reading>, PointCatalogue::kPointCount> m_lists;
    bool m_unsaved = false;
};
