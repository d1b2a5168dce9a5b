// The measuring page: recording readings, stepping between points, deleting,
// manual entry, and the gauge's two receive handlers.
#include "KromaglenForZov_M.h"

#include "Failure.h"
#include "GaugePort.h"
#include "Widgets.h"

#include <QComboBox>
#include <QCoreApplication>
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

void TF_Main::CB_ActMeasNameChange()
{
    CB_ActMeasName->setCurrentIndex(m_measuring.position());
    const int point = currentPoint();
    P_ActMeasHint->setText(point < 0 ? QString() : PointCatalogue::description(point));
    LB_ActMeasValue->clear();
    if (point >= 0)
        LB_ActMeasValue->addItems(m_log.lines(point));
    LB_ActMeasValue->setCurrentRow(-1);
    P_ActMetal->setText(QStringLiteral("FE"));
    P_ActMeasValue->setText(QStringLiteral("----"));
    BB_MeasStepBack->setEnabled(!m_measuring.atFirst());
    BB_MeasStepForward->setEnabled(!m_measuring.atLast());
}

void TF_Main::BB_MeasStepForwardClick()
{
    if (!m_measuring.stepForward()) {
        RaiseFeedback(FeedbackSounds::NoMoreMeasurements);
        return;
    }
    CB_ActMeasNameChange();
}

void TF_Main::BB_MeasStepBackClick()
{
    if (!m_measuring.stepBack()) {
        RaiseFeedback(FeedbackSounds::NoMoreMeasurements);
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
    archiveDeleted(point, line);
    LB_ActMeasValue->setCurrentRow(
        ReadingLog::selectionAfterDelete(line, LB_ActMeasValue->count()));
}

void TF_Main::RecordReading(const QString &substrate, int value)
{
    P_ActMetal->setText(substrate);
    P_ActMeasValue->setText(QString::number(value));
    recordShownReading(false);
}

void TF_Main::recordShownReading(bool typed)
{
    // Let the new value show before the confirmation sound starts.
    QCoreApplication::processEvents();
    const int point = currentPoint();
    if (point < 0)
        return;
    const QString line = ReadingLog::readingLine(P_ActMetal->text(), P_ActMeasValue->text());
    LB_ActMeasValue->addItem(line);
    LB_ActMeasValue->setCurrentRow(LB_ActMeasValue->count() - 1);
    m_log.append(point, line);
    archiveReading(point, typed);
    RaiseFeedback(FeedbackSounds::MeasurementOk);
}

void TF_Main::P_ActMeasValueDblClick()
{
    SE_KeziBevitel->setVisible(!SE_KeziBevitel->isVisible());
}

void TF_Main::P_ActMetalDblClick()
{
    P_ActMetal->setText(P_ActMetal->text() == u"AL" ? QStringLiteral("FE") : QStringLiteral("AL"));
}

void TF_Main::SE_KeziBevitelDblClick()
{
    const QString text = SE_KeziBevitel->findChild<QLineEdit *>()->text().trimmed();
    const int value = ReadingLog::clampManualValue(text);
    SE_KeziBevitel->setValue(value);
    P_ActMeasValue->setText(QString::number(value));
    recordShownReading(true);
}

// ---------------------------------------------------------------- receiving

void TF_Main::onRxChar(int count)
{
    // A handler that lets window events run must not be entered again from
    // them: bytes arriving meanwhile are read once it has returned.
    if (m_inReceive)
        return;
    m_inReceive = true;
    try {
        // Every byte that has arrived is scanned: bytes that came while a
        // reading was being shown get no notification of their own.
        while (count > 0) {
            if (m_receiveRoute == ReceiveRoute::GetMenu) {
                ComPort1RxChar_GetMenu(count);
                // Once the key has ended the wait, what follows is measured.
                if (m_menuKeySeen)
                    break;
            } else if (m_receiveRoute == ReceiveRoute::Measuring) {
                ComPort1RxChar(count);
            } else {
                break; // the handover page: the bytes stay in the port
            }
            count = int(qMin<qint64>(m_services.port->bytesWaiting(), INT_MAX));
        }
    } catch (const Failure &) {
        // A failed read is not shown; the link stops listening until reopened.
        m_services.port->stopNotifications();
    }
    m_inReceive = false;
}

void TF_Main::serveWaitingBytes()
{
    if (m_services.port->connected())
        onRxChar(int(qMin<qint64>(m_services.port->bytesWaiting(), INT_MAX)));
}

void TF_Main::ComPort1RxChar_GetMenu(int count)
{
    m_scanner.append(m_services.port->read(count));
    while (const auto frame = m_scanner.next()) {
        switch (decideFrameAction(ReceiveMode::Connect, *frame, m_measuring.atLast())) {
        case FrameAction::RefuseReading:
            RaiseFeedback(FeedbackSounds::CannotMeasure);
            break;
        case FrameAction::MenuKey:
            m_menuKeySeen = true;
            RaiseFeedback(FeedbackSounds::NextPoint);
            if (m_connectWait)
                m_connectWait->quit();
            break;
        default:
            break;
        }
    }
}

void TF_Main::ComPort1RxChar(int count)
{
    m_scanner.append(m_services.port->read(count));
    while (const auto frame = m_scanner.next()) {
        switch (decideFrameAction(ReceiveMode::Measuring, *frame, m_measuring.atLast())) {
        case FrameAction::Record:
            RecordReading(frame->substrate, frame->value);
            break;
        case FrameAction::StepForward:
            BB_MeasStepForwardClick();
            RaiseFeedback(FeedbackSounds::NextPoint);
            break;
        case FrameAction::NoMorePoints:
            RaiseFeedback(FeedbackSounds::NoMoreMeasurements);
            break;
        default:
            break;
        }
    }
}
