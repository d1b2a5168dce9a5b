#include "PlanPresets.h"

#include "Failure.h"

#include <QFile>
#include <QSaveFile>

PlanPresets::PlanPresets(QString filePath) : m_filePath(std::move(filePath)) {}

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
    int pos = 0;
    while (pos < count() && m_presets.at(pos).name.compare(preset.name, Qt::CaseInsensitive) <= 0)
        ++pos;
    m_presets.insert(pos, std::move(preset));
    return pos;
}

void PlanPresets::load()
{
    m_presets.clear();
    QFile file(m_filePath);
    if (!file.exists())
        return;
    try {
        if (!file.open(QIODevice::ReadOnly))
            throw Failure(QStringLiteral("EInOutError"), file.errorString());
        const QByteArray content = file.readAll();
        if (file.error() != QFileDevice::NoError)
            throw Failure(QStringLiteral("EInOutError"), file.errorString());
        for (PlanPreset &p : PresetsFile::parse(content))
            insertSorted(std::move(p));
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
    if (m_keepBackup && QFile::exists(m_filePath)) {
        const QString backup = m_filePath + QStringLiteral(".bak");
        QFile::remove(backup);
        if (!QFile::copy(m_filePath, backup))
            throw Failure(QStringLiteral("EInOutError"),
                          QStringLiteral("Cannot keep %1 as %2").arg(m_filePath, backup));
    }
    m_keepBackup = false;
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("EInOutError"), file.errorString());
    file.write(PresetsFile::serialize(m_presets));
    if (!file.commit())
        throw Failure(QStringLiteral("EInOutError"), file.errorString());
}
