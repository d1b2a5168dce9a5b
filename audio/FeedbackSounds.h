#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <optional>

#include "FeedbackEvent.h"

class SoundPlayer;

// The feedback events played through the sound card: the four event
// recordings, the point names and spoken values chained from the SnippetQueue.
// A failure of the first recording of an event is thrown, so the caller can
// fall back to the speaker. Nothing here waits: the point's name follows
// "NEXT" when the player reports NEXT's end, and a spoken value starts when
// the sound playing has ended (or overran its time); until then the sounds
// are busy, and settled() says when they no longer are.
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
    // Plays the next queued recording once the current sound has ended (or
    // at most its time and a margin later).
    void MP_SoundNotify();

    // An event's sound has not fully started yet: NEXT plays before the
    // point's name, or a value waits for the sound playing to end.
    bool busy() const { return m_namePending || m_chainWaiting; }
    const QStringList &snippetQueue() const { return m_snippets; }

Q_SIGNALS:
    // No longer busy.
    void settled();
    // A recording that started later than its event failed the way the
    // event's first recording would have (the point's name after NEXT, a
    // value's first recording after the wait): the caller falls back as it
    // does for a thrown failure. `unplayablePath` is set when only that file
    // cannot be played (its coding is not known).
    void failedLater(FeedbackEvent event, const QString &unplayablePath);
    // A later recording of a chain failed inside the player's end event.
    void playbackError(const QString &text);

private:
    void onEndEvent();
    void onStopped();
    void openAndPlay(const QString &programPath);
    void playPointName();
    void continueChain();
    void playNextSnippet();
    void settle();

    SoundPlayer &m_player;
    QStringList m_snippets; // the SnippetQueue
    // NEXT is playing; the point's name follows its end.
    bool m_nextPlaying = false;
    bool m_namePending = false;
    int m_pendingPoint = -1;
    // While NEXT plays to its end, end events wait until the point's name has
    // started, as they would behind a play that blocked the window.
    int m_heldEndEvents = 0;
    // A value waits for the sound playing to end.
    bool m_chainWaiting = false;
    bool m_firstOfChain = false;
    QTimer m_chainDeadline;
    int m_waitMarginMs = kWaitMarginMs;
};
