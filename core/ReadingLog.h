#pragma once

#include <QString>
#include <QStringList>
#include <array>

#include "PointCatalogue.h"

// The readings taken at every catalogue point during this run, oldest first,
// as the lines shown to the user ("FE 123 µm").
class ReadingLog
{
public:
    static constexpr int kManualMinimum = 5;
    static constexpr int kManualMaximum = 1000;

    // "<substrate> <value> µm".
    static QString readingLine(const QString &substrate, const QString &valueText);
    // The value digits of a reading line: from the 4th character, length - 6 long.
    static QString valueOf(const QString &line);
    // A manually typed value: a non-integer counts as the minimum, then the
    // value is clamped to 5..1000.
    static int clampManualValue(const QString &text);
    // The line to select after deleting line `deleted` from a list that now has
    // `remaining` lines: the same position, the new last one, or none (-1).
    static int selectionAfterDelete(int deleted, int remaining);

    const QStringList &lines(int point) const { return m_lists.at(size_t(point)); }
    int count(int point) const { return int(lines(point).size()); }
    // Appends a reading and marks the log as holding unsaved readings.
    void append(int point, const QString &line);
    void removeAt(int point, int line);
    // Empties every point's log and clears the unsaved mark.
    void clearAll();
    bool unsavedReadings() const { return m_unsaved; }

private:
    std::array<QStringList, PointCatalogue::kPointCount> m_lists;
    bool m_unsaved = false;
};
