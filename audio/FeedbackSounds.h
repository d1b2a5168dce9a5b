#pragma once

#include <QObject>
#include <QStringList>

#include "FeedbackEvent.h"

class SoundPlayer;

// The feedback events played through the sound card: the four event
// recordings, the point names and spoken values chained from the SnippetQueue.
// Any failure is thrown, so the caller can fall back to the speaker.
class FeedbackSounds : public QObject
{
    Q_OBJECT

public:
    // Waiting for a sound to end gives up this long after its time.
    static constexpr int kWaitMarginMs = 1000;

    static QString eventFile(FeedbackEvent event); // "hang\MERES_OK.wav"

    explicit FeedbackSounds(SoundPlayer &player, QObject *parent = nullptr);
    // How long past its time a sound is waited for (kWaitMarginMs).
    void setWaitMarginMs(int ms) { m_waitMarginMs = ms; }

    // Plays the event. point is the current point's catalogue index, whose
    // name follows NextPoint (none when negative); valueText is the value to
    // say when speakValue is chosen (MeasurementOk).
    void play(FeedbackEvent event, bool speakValue, int point, const QString &valueText);
    // Queues the recordings that say the value and starts the chain.
    void SpeakNumber(const QString &valueText);
    // Waits (handling window events) until the current sound has ended, or
    // at most its time and a margin, then plays the next queued recording.
    void MP_SoundNotify();

    const QStringList &snippetQueue() const { return m_snippets; }

Q_SIGNALS:
    // A later recording of a chain failed inside the player's end event.
    void playbackError(const QString &text);

private:
    void onEndEvent();
    void openAndPlay(const QString &programPath);
    void waitUntilSilent();

    SoundPlayer &m_player;
    QStringList m_snippets; // the SnippetQueue
    // While NEXT plays to its end, end events wait until the point's name has
    // started, as they would behind a play that blocks the window.
    bool m_holdEndEvents = false;
    int m_heldEndEvents = 0;
    int m_waitMarginMs = kWaitMarginMs;
};
