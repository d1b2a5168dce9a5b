#include "FeedbackSounds.h"

#include "Failure.h"
#include "Paths.h"
#include "PointCatalogue.h"
#include "SoundPlayer.h"
#include "SpokenNumber.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QScopeGuard>
#include <QTimer>

FeedbackSounds::FeedbackSounds(SoundPlayer &player, QObject *parent)
    : QObject(parent), m_player(player)
{
    connect(&m_player, &SoundPlayer::endEvent, this, &FeedbackSounds::onEndEvent,
            Qt::QueuedConnection);
}

void FeedbackSounds::onEndEvent()
{
    if (m_holdEndEvents) {
        ++m_heldEndEvents;
        return;
    }
    try {
        MP_SoundNotify();
    } catch (const Failure &f) {
        Q_EMIT playbackError(f.text());
    }
}

QString FeedbackSounds::eventFile(FeedbackEvent event)
{
    switch (event) {
    case FeedbackEvent::NoMoreMeasurements:
        return QStringLiteral("hang\\NINCSTOBBMERES.wav");
    case FeedbackEvent::MeasurementOk:
        return QStringLiteral("hang\\MERES_OK.wav");
    case FeedbackEvent::NextPoint:
        return QStringLiteral("hang\\NEXT.wav");
    case FeedbackEvent::CannotMeasure:
        return QStringLiteral("hang\\NEMMERHET.wav");
    }
    return {};
}

void FeedbackSounds::openAndPlay(const QString &programPath)
{
    m_player.close();
    m_player.open(Paths::local(programPath));
    m_player.play();
}

void FeedbackSounds::play(FeedbackEvent event, bool speakValue, int point, const QString &valueText)
{
    switch (event) {
    case FeedbackEvent::MeasurementOk:
        if (speakValue) {
            SpeakNumber(valueText);
            return;
        }
        [[fallthrough]];
    case FeedbackEvent::NoMoreMeasurements:
    case FeedbackEvent::CannotMeasure:
        m_player.setNotify(false);
        openAndPlay(eventFile(event));
        return;
    case FeedbackEvent::NextPoint: {
        m_holdEndEvents = true;
        const auto release = qScopeGuard([this] {
            m_holdEndEvents = false;
            for (; m_heldEndEvents > 0; --m_heldEndEvents)
                QMetaObject::invokeMethod(this, &FeedbackSounds::onEndEvent, Qt::QueuedConnection);
        });
        m_player.setNotify(false);
        m_player.setWait(true);
        openAndPlay(eventFile(FeedbackEvent::NextPoint));
        m_player.close();
        m_player.setWait(false);
        if (PointCatalogue::isValidIndex(point))
            openAndPlay(PointCatalogue::soundFile(point));
        return;
    }
    default:
        return;
    }
}

void FeedbackSounds::SpeakNumber(const QString &valueText)
{
    m_snippets.clear();
    if (valueText.size() > 4)
        return;
    for (const QString &name : SpokenNumber::recordings(valueText))
        m_snippets.append(SpokenNumber::recordingPath(name));
    MP_SoundNotify();
}

void FeedbackSounds::waitUntilSilent()
{
    QCoreApplication::processEvents();
    // A sound that does not end in its time (a stalled output) is not waited
    // for any longer: the next sound closes it.
    const QDeadlineTimer deadline(m_player.playingMsLeft() + m_waitMarginMs);
    while (m_player.isPlaying() && !deadline.hasExpired()) {
        QEventLoop loop;
        connect(&m_player, &SoundPlayer::stopped, &loop, &QEventLoop::quit);
        QTimer::singleShot(deadline.remainingTime(), &loop, &QEventLoop::quit);
        if (m_player.isPlaying())
            loop.exec();
    }
}

void FeedbackSounds::MP_SoundNotify()
{
    waitUntilSilent();
    if (m_snippets.isEmpty())
        return;
    const QString next = m_snippets.takeFirst();
    m_player.close();
    m_player.open(Paths::local(next));
    m_player.setNotify(!m_snippets.isEmpty());
    m_player.play();
}
