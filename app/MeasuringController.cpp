#include "MeasuringController.h"

#include "Beeper.h"
#include "GaugeSession.h"
#include "SoundPlayer.h"

#include <QDateTime>
#include <QDir>

MeasuringController::MeasuringController(GaugeSession &gauge, SoundPlayer &player, Beeper &beeper,
                                         QObject *parent)
    : QObject(parent), m_gauge(gauge), m_beeper(beeper), m_beepWorker(beeper), m_sounds(player)
{
    connect(&m_sounds, &FeedbackSounds::settled, this, [this] {
        if (std::exchange(m_holding, false))
            m_gauge.release();
    });
    connect(&m_sounds, &FeedbackSounds::failedLater, this, &MeasuringController::fallBackToSpeaker);
    connect(&m_sounds, &FeedbackSounds::playbackError, this, &MeasuringController::errorBox);
}

// ---------------------------------------------------------------- the list

void MeasuringController::fill(const QList<int> &points)
{
    m_list.fill(points);
    Q_EMIT listFilled();
}

void MeasuringController::selectPosition(int position)
{
    m_list.select(position);
    CB_ActMeasNameChange();
}

void MeasuringController::CB_ActMeasNameChange()
{
    m_substrate = Substrate::FE;
    m_valueText = QStringLiteral("----");
    Q_EMIT pointShown();
}

void MeasuringController::stepForward()
{
    if (!m_list.stepForward()) {
        RaiseFeedback(FeedbackEvent::NoMoreMeasurements);
        return;
    }
    CB_ActMeasNameChange();
}

void MeasuringController::stepBack()
{
    if (!m_list.stepBack()) {
        RaiseFeedback(FeedbackEvent::NoMoreMeasurements);
        return;
    }
    CB_ActMeasNameChange();
}

// ---------------------------------------------------------------- readings

void MeasuringController::deleteReading(int line)
{
    const int point = currentPoint();
    if (line < 0 || point < 0 || line >= m_log.count(point))
        return;
    m_log.removeAt(point, line);
    Q_EMIT readingRemoved(line, ReadingLog::selectionAfterDelete(line, m_log.count(point)));
    Q_EMIT inspectionChanged();
}

void MeasuringController::toggleSubstrate()
{
    showSubstrate(m_substrate == Substrate::AL ? Substrate::FE : Substrate::AL);
}

void MeasuringController::showSubstrate(Substrate substrate)
{
    m_substrate = substrate;
    Q_EMIT substrateShown();
}

int MeasuringController::typeReading(const QString &text)
{
    const int value = ReadingLog::clampManualValue(text);
    m_valueText = QString::number(value);
    recordReading({m_substrate, value, ReadingSource::Typed});
    return value;
}

void MeasuringController::RecordReading(Substrate substrate, int value)
{
    m_substrate = substrate;
    m_valueText = QString::number(value);
    recordReading({substrate, value, ReadingSource::Gauge});
}

void MeasuringController::recordReading(Reading reading)
{
    // The new value is on the screen before its line, its record and its sound.
    Q_EMIT readingShown();
    const int point = currentPoint();
    if (point < 0)
        return;
    reading.takenAt = QDateTime::currentDateTimeUtc();
    m_log.append(point, reading);
    Q_EMIT readingAdded(reading.line());
    Q_EMIT inspectionChanged();
    RaiseFeedback(FeedbackEvent::MeasurementOk, reading.valueText());
}

void MeasuringController::discardAll()
{
    m_log.clearAll();
    Q_EMIT inspectionChanged();
}

void MeasuringController::restore(const QList<std::pair<int, Reading>> &readings)
{
    for (const auto &[point, reading] : readings)
        m_log.append(point, reading);
    Q_EMIT inspectionChanged();
}

// ---------------------------------------------------------------- frames

void MeasuringController::ComPort1RxChar_GetMenu(const GaugeFrame &frame)
{
    switch (decideFrameAction(ReceiveMode::Connect, frame, m_list.atLast())) {
    case FrameAction::RefuseReading:
        RaiseFeedback(FeedbackEvent::CannotMeasure);
        break;
    case FrameAction::MenuKey: // the session ends the connect wait
        RaiseFeedback(FeedbackEvent::NextPoint);
        break;
    default:
        break;
    }
}

void MeasuringController::ComPort1RxChar(const GaugeFrame &frame)
{
    switch (decideFrameAction(ReceiveMode::Measuring, frame, m_list.atLast())) {
    case FrameAction::Record:
        RecordReading(frame.substrate, frame.value);
        break;
    case FrameAction::StepForward:
        stepForward();
        RaiseFeedback(FeedbackEvent::NextPoint);
        break;
    case FrameAction::NoMorePoints:
        RaiseFeedback(FeedbackEvent::NoMoreMeasurements);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------- sounds

void MeasuringController::RaiseFeedback(FeedbackEvent event, const QString &spokenValue)
{
    if (m_silenced)
        return;
    if (m_sound.device == SoundOptions::SoundCard) {
        try {
            m_sounds.play(event, m_sound.readingMode == SoundOptions::SpeakValue, currentPoint(),
                          spokenValue);
            holdWhileSoundsBusy();
            return;
        } catch (const UnplayableSound &f) {
            // The sound card works; only this recording cannot be played. The
            // choice stays, so the station's other recordings keep playing.
            tellUnplayable(f.path());
        } catch (const Failure &) {
            // The sound card failed: use the speaker from now on, also after a restart.
            CB_SoundChange(SoundOptions::Speaker);
        }
    }
    beep(event);
}

void MeasuringController::holdWhileSoundsBusy()
{
    // The gauge's next frames wait until this event's sound has started
    // (NEXT has ended and the point's name plays, or the value is said), as
    // they waited behind a handler that played it to that point.
    if (m_sounds.busy() && !m_holding) {
        m_holding = true;
        m_gauge.hold();
    }
}

void MeasuringController::fallBackToSpeaker(FeedbackEvent event, const QString &unplayablePath)
{
    if (m_silenced)
        return;
    if (!unplayablePath.isEmpty())
        tellUnplayable(unplayablePath);
    else
        CB_SoundChange(SoundOptions::Speaker);
    beep(event);
}

void MeasuringController::beep(FeedbackEvent event)
{
    if (!m_toldInaudible && !m_beeper.audible()) {
        m_toldInaudible = true;
        Q_EMIT inaudible();
    }
    m_beepWorker.enqueue(event);
}

void MeasuringController::tellUnplayable(const QString &path)
{
    if (m_toldUnplayable.contains(path))
        return;
    m_toldUnplayable.insert(path);
    Q_EMIT info(QStringLiteral("A(z) %1 hangfájlt a program nem tudja lejátszani, helyette sípol!")
                    .arg(QDir::toNativeSeparators(path)),
                QStringLiteral("A fájl tömörített vagy ismeretlen kódolású WAV fájl.\r\rMegoldás: "
                               "mentse a felvételt PCM WAV formátumban (8, 16, 24 vagy 32 bites "
                               "egész, vagy 32 vagy 64 bites lebegőpontos mintákkal)!"));
}

void MeasuringController::loadSoundOptions()
{
    SoundOptions options = m_sound;
    if (!options.read(SoundOptions::kFileName))
        return;
    m_sound.readingMode = options.readingMode;
    CB_SoundChange(options.device);
}

void MeasuringController::CB_SoundChange(int device)
{
    m_sound.device = device;
    CB_SpeakNumChange(m_sound.readingMode);
}

void MeasuringController::CB_SpeakNumChange(int readingMode)
{
    m_sound.readingMode = readingMode;
    m_sound.write(SoundOptions::kFileName);
    Q_EMIT soundChoiceShown();
}

void MeasuringController::silence()
{
    m_silenced = true;
    m_beepWorker.stop();
}
