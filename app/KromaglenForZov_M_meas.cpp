// The measuring page: it shows the measuring controller's point, readings and
// panels, and passes on the person's steps, deletions and typed values.
#include "KromaglenForZov_M.h"

#include "Widgets.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

void TF_Main::showMeasuringList()
{
    CB_ActMeasName->clear();
    for (int point : m_measuring.list().points())
        CB_ActMeasName->addItem(PointCatalogue::displayName(point), point);
}

void TF_Main::measuringPointPicked(int index)
{
    m_measuring.selectPosition(index);
}

void TF_Main::CB_ActMeasNameChange()
{
    m_measuring.selectPosition(m_measuring.list().position());
}

void TF_Main::showPoint()
{
    if (!CB_ActMeasName)
        return;
    const MeasuringList &list = m_measuring.list();
    CB_ActMeasName->setCurrentIndex(list.position());
    const int point = list.currentPoint();
    P_ActMeasHint->setText(point < 0 ? QString() : PointCatalogue::description(point));
    LB_ActMeasValue->clear();
    if (point >= 0)
        LB_ActMeasValue->addItems(m_measuring.log().lines(point));
    LB_ActMeasValue->setCurrentRow(-1);
    showSubstrate();
    P_ActMeasValue->setText(m_measuring.valueText());
    BB_MeasStepBack->setEnabled(!list.atFirst());
    BB_MeasStepForward->setEnabled(!list.atLast());
    // The description is back.
    if (L_NoSound->isVisible() && m_flow.stage() == WizardFlow::Stage::Measuring)
        L_NoSound->hide();
}

void TF_Main::showReading()
{
    const QString metal = substrateName(m_measuring.substrate());
    QRegion changed = P_ActMeasValue->geometry();
    if (P_ActMetal->text() != metal)
        changed += P_ActMetal->geometry();
    P_ActMetal->setText(metal);
    P_ActMeasValue->setText(m_measuring.valueText());
    // Painted now, in one pass, before the reading's sound starts.
    P_ActMeasValue->parentWidget()->repaint(changed);
}

void TF_Main::readingAdded(const QString &line)
{
    LB_ActMeasValue->addItem(line);
    LB_ActMeasValue->setCurrentRow(LB_ActMeasValue->count() - 1);
}

void TF_Main::readingRemoved(int line, int selectAfter)
{
    delete LB_ActMeasValue->takeItem(line);
    LB_ActMeasValue->setCurrentRow(selectAfter);
}

void TF_Main::showSubstrate()
{
    if (P_ActMetal)
        P_ActMetal->setText(substrateName(m_measuring.substrate()));
}

void TF_Main::BB_MeasStepForwardClick()
{
    m_measuring.stepForward();
}

void TF_Main::BB_MeasStepBackClick()
{
    m_measuring.stepBack();
}

void TF_Main::BB_MeasDeleteClick()
{
    const QListWidgetItem *item = LB_ActMeasValue->currentItem();
    m_measuring.deleteReading(item && item->isSelected() ? LB_ActMeasValue->currentRow() : -1);
}

void TF_Main::P_ActMeasValueDblClick()
{
    SE_KeziBevitel->setVisible(!SE_KeziBevitel->isVisible());
}

void TF_Main::P_ActMetalDblClick()
{
    m_measuring.toggleSubstrate();
}

void TF_Main::SE_KeziBevitelDblClick()
{
    const QString text = SE_KeziBevitel->findChild<QLineEdit *>()->text().trimmed();
    SE_KeziBevitel->setValue(ReadingLog::clampManualValue(text));
    m_measuring.typeReading(text);
}
