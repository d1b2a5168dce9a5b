#include "FeedbackSounds.h"

#include "Failure.h"
#include "Paths.h"
#include "PointCatalogue.h"
#include "SoundPlayer.h"
#include "SpokenNumber.h"

FeedbackSounds::FeedbackSounds(SoundPlayer &player, QObject *parent)
    : QObject(parent), m_player(player)
{
    connect(&m_player, &SoundPlayer::endEvent, this, &FeedbackSounds::onEndEvent,
            Qt::QueuedConnection);
    // Direct: the first stop after NEXT started is NEXT's own.
    connect(&m_player, &SoundPlayer::stopped, this, &FeedbackSounds::onStopped);
    m_chainDeadline.setSingleShot(true);
    connect(&m_chainDeadline, &QTimer::timeout, this, &FeedbackSounds::continueChain);
}

void FeedbackSounds::onEndEvent()
{
    if (m_namePending) {
        ++m_heldEndEvents;
        return;
    }
    try {
        MP_SoundNotify();
    } catch (const Failure &f) {
        Q_EMIT playbackError(f.text());
    }
}

void FeedbackSounds::onStopped()
{
    if (std::exchange(m_nextPlaying, false))
        QMetaObject::invokeMethod(this, &FeedbackSounds::playPointName, Qt::QueuedConnection);
    if (m_chainWaiting)
        QMetaObject::invokeMethod(this, &FeedbackSounds::continueChain, Qt::QueuedConnection);
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
        m_player.setNotify(false);
        m_player.close();
        m_player.open(Paths::local(eventFile(FeedbackEvent::NextPoint)));
        m_pendingPoint = point;
        m_namePending = true;
        m_nextPlaying = true;
        try {
            m_player.play();
        } catch (const Failure &) {
            m_nextPlaying = false;
            m_namePending = false;
            throw;
        }
        return;
    }
    default:
        return;
    }
}

void FeedbackSounds::playPointName()
{
    if (!std::exchange(m_namePending, false))
        return;
    try {
        m_player.close();
        if (PointCatalogue::isValidIndex(m_pendingPoint))
            openAndPlay(PointCatalogue::soundFile(m_pendingPoint));
    } catch (const UnplayableSound &f) {
        Q_EMIT failedLater(FeedbackEvent::NextPoint, f.path());
    } catch (const Failure &) {
        Q_EMIT failedLater(FeedbackEvent::NextPoint, QString());
    }
    for (; m_heldEndEvents > 0; --m_heldEndEvents)
        QMetaObject::invokeMethod(this, &FeedbackSounds::onEndEvent, Qt::QueuedConnection);
    settle();
}

void FeedbackSounds::SpeakNumber(const QString &valueText)
{
    m_snippets.clear();
    if (valueText.size() > 4)
        return;
    for (const QString &name : SpokenNumber::recordings(valueText))
        m_snippets.append(SpokenNumber::recordingPath(name));
    m_firstOfChain = true;
    MP_SoundNotify();
}

void FeedbackSounds::MP_SoundNotify()
{
    if (!m_player.isPlaying()) {
        playNextSnippet();
        return;
    }
    if (m_chainWaiting)
        return;
    // A sound that does not end in its time (a stalled output) is not waited
    // for any longer: the next sound closes it.
    m_chainWaiting = true;
    m_chainDeadline.start(m_player.playingMsLeft() + m_waitMarginMs);
}

void FeedbackSounds::continueChain()
{
    if (!m_chainWaiting || (m_player.isPlaying() && m_chainDeadline.isActive()))
        return;
    const bool first = m_firstOfChain;
    try {
        playNextSnippet();
    } catch (const UnplayableSound &f) {
        if (first)
            Q_EMIT failedLater(FeedbackEvent::MeasurementOk, f.path());
        else
            Q_EMIT playbackError(f.text());
    } catch (const Failure &f) {
        if (first)
            Q_EMIT failedLater(FeedbackEvent::MeasurementOk, QString());
        else
            Q_EMIT playbackError(f.text());
    }
    settle();
}

void FeedbackSounds::playNextSnippet()
{
    m_chainWaiting = false;
    m_chainDeadline.stop();
    m_firstOfChain = false;
    if (m_snippets.isEmpty())
        return;
    const QString next = m_snippets.takeFirst();
    m_player.close();
    m_player.open(Paths::local(next));
    m_player.setNotify(!m_snippets.isEmpty());
    m_player.play();
}

void FeedbackSounds::settle()
{
    if (!busy())
        Q_EMIT settled();
}
