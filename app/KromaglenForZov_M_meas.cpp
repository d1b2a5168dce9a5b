// The measuring page: recording readings, stepping between points, deleting,
// manual entry, and the gauge's two receive handlers.
#include "KromaglenForZov_M.h"

#include "Widgets.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

int TF_Main::currentPoint() const
{
    return m_measuring.currentPoint();
}

void TF_Main::showMeasuringList()
{
    CB_ActMeasName->clear();
    for (int point : m_measuring.points())
        CB_ActMeasName->addItem(PointCatalogue::displayName(point), point);
}

void TF_Main::measuringPointPicked(int index)
{
    m_measuring.select(index);
    CB_ActMeasNameChange();
}

void TF_Main::CB_ActMeasNameChange()
{
    CB_ActMeasName->setCurrentIndex(m_measuring.position());
    const int point = currentPoint();
    P_ActMeasHint->setText(point < 0 ? QString() : PointCatalogue::description(point));
    LB_ActMeasValue->clear();
    if (point >= 0)
        LB_ActMeasValue->addItems(m_log.lines(point));
    LB_ActMeasValue->setCurrentRow(-1);
    showSubstrate(Substrate::FE);
    P_ActMeasValue->setText(QStringLiteral("----"));
    BB_MeasStepBack->setEnabled(!m_measuring.atFirst());
    BB_MeasStepForward->setEnabled(!m_measuring.atLast());
}

void TF_Main::BB_MeasStepForwardClick()
{
    if (!m_measuring.stepForward()) {
        RaiseFeedback(FeedbackEvent::NoMoreMeasurements);
        return;
    }
    CB_ActMeasNameChange();
}

void TF_Main::BB_MeasStepBackClick()
{
    if (!m_measuring.stepBack()) {
        RaiseFeedback(FeedbackEvent::NoMoreMeasurements);
        return;
    }
    CB_ActMeasNameChange();
}

void TF_Main::BB_MeasDeleteClick()
{
    const int line = LB_ActMeasValue->currentRow();
    const int point = currentPoint();
    if (line < 0 || point < 0 || !LB_ActMeasValue->currentItem()->isSelected())
        return;
    delete LB_ActMeasValue->takeItem(line);
    m_log.removeAt(point, line);
    LB_ActMeasValue->setCurrentRow(
        ReadingLog::selectionAfterDelete(line, LB_ActMeasValue->count()));
}

void TF_Main::RecordReading(Substrate substrate, int value)
{
    showSubstrate(substrate);
    P_ActMeasValue->setText(QString::number(value));
    recordReading({substrate, value, ReadingSource::Gauge});
}

void TF_Main::recordReading(Reading reading)
{
    // Let the new value show before the confirmation sound starts. A click
    // handled meanwhile may change the panels, never the reading.
    QCoreApplication::processEvents();
    const int point = currentPoint();
    if (point < 0)
        return;
    reading.takenAt = QDateTime::currentDateTime();
    LB_ActMeasValue->addItem(reading.line());
    LB_ActMeasValue->setCurrentRow(LB_ActMeasValue->count() - 1);
    m_log.append(point, reading);
    RaiseFeedback(FeedbackEvent::MeasurementOk, reading.valueText());
}

void TF_Main::showSubstrate(Substrate substrate)
{
    m_substrate = substrate;
    P_ActMetal->setText(substrateName(substrate));
}

void TF_Main::P_ActMeasValueDblClick()
{
    SE_KeziBevitel->setVisible(!SE_KeziBevitel->isVisible());
}

void TF_Main::P_ActMetalDblClick()
{
    showSubstrate(m_substrate == Substrate::AL ? Substrate::FE : Substrate::AL);
}

void TF_Main::SE_KeziBevitelDblClick()
{
    const QString text = SE_KeziBevitel->findChild<QLineEdit *>()->text().trimmed();
    const int value = ReadingLog::clampManualValue(text);
    SE_KeziBevitel->setValue(value);
    P_ActMeasValue->setText(QString::number(value));
    recordReading({m_substrate, value, ReadingSource::Typed});
}

// ---------------------------------------------------------------- receiving

void TF_Main::ComPort1RxChar_GetMenu(const GaugeFrame &frame)
{
    switch (decideFrameAction(ReceiveMode::Connect, frame, m_measuring.atLast())) {
    case FrameAction::RefuseReading:
        RaiseFeedback(FeedbackEvent::CannotMeasure);
        break;
    case FrameAction::MenuKey: // the session has ended the connect wait
        RaiseFeedback(FeedbackEvent::NextPoint);
        break;
    default:
        break;
    }
}

void TF_Main::ComPort1RxChar(const GaugeFrame &frame)
{
    switch (decideFrameAction(ReceiveMode::Measuring, frame, m_measuring.atLast())) {
    case FrameAction::Record:
        RecordReading(frame.substrate, frame.value);
        break;
    case FrameAction::StepForward:
        BB_MeasStepForwardClick();
        RaiseFeedback(FeedbackEvent::NextPoint);
        break;
    case FrameAction::NoMorePoints:
        RaiseFeedback(FeedbackEvent::NoMoreMeasurements);
        break;
    default:
        break;
    }
}
