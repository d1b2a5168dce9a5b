#include "PlanPresets.h"

#include "Failure.h"
#include "SettingsFile.h"

#include <QFile>
#include <algorithm>
#include <vector>

PlanPresets::PlanPresets(QString filePath)
    : m_filePath(std::move(filePath)), m_collator(QLocale(QLocale::Hungarian, QLocale::Hungary))
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
}

int PlanPresets::find(const QString &name) const
{
    for (int i = 0; i < count(); ++i) {
        if (m_presets.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int PlanPresets::insertSorted(PlanPreset preset)
{
    const auto at = std::upper_bound(m_presets.cbegin(), m_presets.cend(), preset.name,
                                     [this](const QString &name, const PlanPreset &p) {
                                         return m_collator.compare(name, p.name) < 0;
                                     });
    const int pos = int(at - m_presets.cbegin());
    m_presets.insert(pos, std::move(preset));
    return pos;
}

void PlanPresets::sortByName()
{
    // One sort key per name, so the sort compares bytes, not texts.
    std::vector<std::pair<QCollatorSortKey, qsizetype>> keys;
    keys.reserve(size_t(m_presets.size()));
    for (qsizetype i = 0; i < m_presets.size(); ++i)
        keys.emplace_back(m_collator.sortKey(m_presets.at(i).name), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto &a, const auto &b) { return a.first.compare(b.first) < 0; });
    QList<PlanPreset> sorted;
    sorted.reserve(m_presets.size());
    for (const auto &key : keys)
        sorted.append(std::move(m_presets[key.second]));
    m_presets = std::move(sorted);
}

void PlanPresets::load()
{
    m_presets.clear();
    if (!QFile::exists(m_filePath))
        return;
    try {
        m_presets = PresetsFile::parse(SettingsFile::read(m_filePath));
        sortByName();
    } catch (const Failure &) {
        m_presets.clear();
        m_keepBackup = true;
        throw;
    }
}

PlanPresets::SaveResult PlanPresets::save(const QString &typedName, const PlanSnapshot &plan)
{
    int pos = find(typedName);
    if (pos < 0) {
        QString name = typedName;
        name.replace(u':', u'_');
        // The corrected name may be one already stored: never keep two of a name.
        pos = find(name);
        if (pos < 0)
            pos = insertSorted({name, plan});
        else
            m_presets[pos].entries = plan;
    } else {
        m_presets[pos].entries = plan;
    }
    const SaveResult result{pos, m_presets.at(pos).name};
    write();
    return result;
}

bool PlanPresets::forget(const QString &name)
{
    const int pos = find(name);
    if (pos < 0)
        return false;
    m_presets.removeAt(pos);
    write();
    return true;
}

void PlanPresets::write()
{
    if (m_keepBackup && QFile::exists(m_filePath))
        SettingsFile::write(m_filePath + QStringLiteral(".bak"), SettingsFile::read(m_filePath));
    m_keepBackup = false;
    SettingsFile::write(m_filePath, PresetsFile::serialize(m_presets));
}
