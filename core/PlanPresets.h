#pragma once

#include <QCollator>
#include <QList>
#include <QString>

#include "PresetsFile.h"

// The stored plan presets: kept sorted by name in Hungarian order ignoring
// letter case, looked up by whole name ignoring letter case, and written back
// to their file, in the list's order, after every change.
class PlanPresets
{
public:
    static inline const QString kAutoPresetName = QStringLiteral("-- automata mentés --");

    explicit PlanPresets(QString filePath);

    const QString &filePath() const { return m_filePath; }
    const QList<PlanPreset> &presets() const { return m_presets; }
    int count() const { return int(m_presets.size()); }
    const PlanPreset &at(int position) const { return m_presets.at(position); }
    // Position of the preset with that name (letter case ignored), or -1.
    int find(const QString &name) const;

    // Reads the file. A missing file leaves the list empty. A bad file empties
    // the list and throws Failure; the file is then kept as "<file>.bak" by the
    // next write, so the unreadable presets are not lost.
    void load();

    struct SaveResult
    {
        int position;
        QString name; // the stored name (reused as stored, or the corrected typed text)
    };
    // "Ment": stores the plan under the typed name (":" becomes "_"), reusing a
    // preset of the same name. Writes the file; a write failure throws Failure
    // after the list has taken the change.
    SaveResult save(const QString &typedName, const PlanSnapshot &plan);
    // "Felejt": removes the named preset and writes the file; false if absent.
    bool forget(const QString &name);

    // "Ment" is enabled for any non-empty name, "Felejt" for a stored name.
    static bool canSave(const QString &nameText) { return !nameText.isEmpty(); }
    bool canForget(const QString &nameText) const { return find(nameText) >= 0; }

private:
    int insertSorted(PlanPreset preset);
    void sortByName();
    void write();

    QString m_filePath;
    QCollator m_collator;
    QList<PlanPreset> m_presets;
    bool m_keepBackup = false;
};
