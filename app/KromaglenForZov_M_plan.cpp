// The first page's plan list and the plan presets.
#include "KromaglenForZov_M.h"

#include "Failure.h"
#include "Widgets.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QPushButton>

void TF_Main::CLB_WhatToMeasClick()
{
    if (m_plan.highlighted() < 0)
        m_plan.setHighlighted(0);
    // The list shows the entry the description and the move buttons act on,
    // also when the highlight was already there (at start, after a rebuild).
    const QModelIndex highlighted = m_plan.index(m_plan.highlighted());
    if (CLB_WhatToMeas->currentIndex() != highlighted)
        CLB_WhatToMeas->setCurrentIndex(highlighted);
    L_WhatToMeasHint->setFittedText(m_plan.highlightedDescription());
    BB_Up->setEnabled(m_plan.canMoveUp() && CLB_WhatToMeas->isEnabled());
    BB_Down->setEnabled(m_plan.canMoveDown() && CLB_WhatToMeas->isEnabled());
}

void TF_Main::planRowClicked(const QModelIndex &index)
{
    m_plan.setHighlighted(index.row());
    CLB_WhatToMeasClick();
}

void TF_Main::planRowCurrent(const QModelIndex &index)
{
    if (index.isValid())
        m_plan.setHighlighted(index.row());
    CLB_WhatToMeasClick();
}

void TF_Main::CLB_WhatToMeasDblClick()
{
    m_plan.doubleClickHighlighted();
}

void TF_Main::BB_UpClick()
{
    m_plan.moveUp();
    CLB_WhatToMeasClick();
}

void TF_Main::BB_DownClick()
{
    m_plan.moveDown();
    CLB_WhatToMeasClick();
}

void TF_Main::BB_SetAllClick()
{
    m_plan.tickAll();
}

void TF_Main::BB_SetNoneClick()
{
    m_plan.tickNone();
}

void TF_Main::BB_AlapSorrendClick()
{
    m_plan.restoreDefaultOrder();
    CLB_WhatToMeasClick();
}

void TF_Main::CB_SaveChange()
{
    const QString name = CB_Save->currentText();
    BB_Save->setEnabled(PlanPresets::canSave(name));
    BB_Delete->setEnabled(m_presets.canForget(name));
}

void TF_Main::CB_SaveCloseUp()
{
    // The selected entry itself, so that the second of two entries of one
    // name applies its own plan; typing a text of its own unselects it.
    const int position = CB_Save->currentIndex();
    if (CB_Save->isEnabled() && position >= 0 && position < m_presets.count() &&
        CB_Save->itemText(position).compare(CB_Save->currentText(), Qt::CaseInsensitive) == 0)
        ApplyPreset(position);
}

void TF_Main::ApplyPreset(int position)
{
    m_plan.apply(m_presets.at(position).entries);
    CLB_WhatToMeasClick();
}

void TF_Main::reloadPresetNames(const QString &text)
{
    const QSignalBlocker blocker(CB_Save);
    CB_Save->clear();
    QStringList names;
    names.reserve(m_presets.count());
    for (const PlanPreset &p : m_presets.presets())
        names.append(p.name);
    CB_Save->addItems(names);
    const int position = m_presets.find(text);
    CB_Save->setCurrentIndex(position);
    CB_Save->setEditText(text);
}

void TF_Main::BB_SaveClick()
{
    try {
        const PlanPresets::SaveResult saved =
            m_presets.save(CB_Save->currentText(), m_plan.snapshot());
        const QString shown =
            m_presets.find(CB_Save->currentText()) >= 0 ? CB_Save->currentText() : saved.name;
        reloadPresetNames(shown);
    } catch (const Failure &f) {
        reloadPresetNames(CB_Save->currentText());
        if (!(m_oneSaveFailureBox && m_saveFailureShown))
            showErrorBox(f.text(), presetsFileFailure());
        m_saveFailureShown = true;
    }
    CB_SaveChange();
}

QString TF_Main::presetsFileFailure() const
{
    return QStringLiteral("A mérési pontok beállításai nem menthetők ebbe a fájlba: %1")
        .arg(QDir::toNativeSeparators(QFileInfo(m_presets.filePath()).absoluteFilePath()));
}

void TF_Main::BB_DeleteClick()
{
    if (m_presets.find(CB_Save->currentText()) < 0)
        return;
    try {
        m_presets.forget(CB_Save->currentText());
        reloadPresetNames(QString());
    } catch (const Failure &f) {
        reloadPresetNames(QString());
        showErrorBox(f.text(), presetsFileFailure());
    }
    CB_SaveChange();
}

void TF_Main::saveAutoPresetIfNamed()
{
    if (CB_Save->currentText() == PlanPresets::kAutoPresetName)
        BB_SaveClick();
}

void TF_Main::SelectPlanForCategory(const QString &name)
{
    const int position = m_presets.find(name);
    if (position >= 0) {
        reloadPresetNames(m_presets.at(position).name);
        CB_SaveChange();
        ApplyPreset(position);
    } else {
        CB_Save->setEditText(name);
    }
    CB_SaveChange();
}
