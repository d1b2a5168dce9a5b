// The first page's plan list and the plan presets.
#include "KromaglenForZov_M.h"

#include "Widgets.h"

#include <QLabel>
#include <QListView>
#include <QPushButton>

void TF_Main::CLB_WhatToMeasClick()
{
    if (plan().highlighted() < 0)
        plan().setHighlighted(0);
    // The list shows the entry the description and the move buttons act on,
    // also when the highlight was already there (at start, after a rebuild).
    const QModelIndex highlighted = plan().index(plan().highlighted());
    if (CLB_WhatToMeas->currentIndex() != highlighted)
        CLB_WhatToMeas->setCurrentIndex(highlighted);
    L_WhatToMeasHint->setFittedText(plan().highlightedDescription());
    BB_Up->setEnabled(plan().canMoveUp() && CLB_WhatToMeas->isEnabled());
    BB_Down->setEnabled(plan().canMoveDown() && CLB_WhatToMeas->isEnabled());
}

void TF_Main::planRowClicked(const QModelIndex &index)
{
    plan().setHighlighted(index.row());
    CLB_WhatToMeasClick();
}

void TF_Main::planRowCurrent(const QModelIndex &index)
{
    if (index.isValid())
        plan().setHighlighted(index.row());
    CLB_WhatToMeasClick();
}

void TF_Main::CLB_WhatToMeasDblClick()
{
    plan().doubleClickHighlighted();
}

void TF_Main::BB_UpClick()
{
    plan().moveUp();
    CLB_WhatToMeasClick();
}

void TF_Main::BB_DownClick()
{
    plan().moveDown();
    CLB_WhatToMeasClick();
}

void TF_Main::BB_SetAllClick()
{
    plan().tickAll();
}

void TF_Main::BB_SetNoneClick()
{
    plan().tickNone();
}

void TF_Main::BB_AlapSorrendClick()
{
    plan().restoreDefaultOrder();
    CLB_WhatToMeasClick();
}

void TF_Main::presetNameTyped()
{
    // The field's text as it stands: a completion may have followed the
    // keystroke whose change is being reported.
    m_flow.typePresetName(CB_Save->currentText());
    CB_SaveChange();
}

void TF_Main::CB_SaveChange()
{
    BB_Save->setEnabled(m_flow.canSavePreset());
    BB_Delete->setEnabled(m_flow.canForgetPreset());
}

void TF_Main::CB_SaveCloseUp()
{
    // The selected entry itself, so that the second of two entries of one
    // name applies its own plan; typing a text of its own unselects it.
    const int position = CB_Save->currentIndex();
    if (position >= 0 &&
        CB_Save->itemText(position).compare(CB_Save->currentText(), Qt::CaseInsensitive) == 0)
        m_flow.pickPreset(position);
}

void TF_Main::reloadPresetNames()
{
    const QString text = m_flow.presetName();
    {
        const QSignalBlocker blocker(CB_Save);
        CB_Save->clear();
        QStringList names;
        names.reserve(presets().count());
        for (const PlanPreset &p : presets().presets())
            names.append(p.name);
        CB_Save->addItems(names);
        CB_Save->setCurrentIndex(presets().find(text));
        CB_Save->setEditText(text);
    }
    CB_SaveChange();
}

void TF_Main::BB_SaveClick()
{
    m_flow.BB_SaveClick();
}

void TF_Main::BB_DeleteClick()
{
    m_flow.BB_DeleteClick();
}

void TF_Main::SelectPlanForCategory(const QString &name)
{
    m_flow.SelectPlanForCategory(name);
}
