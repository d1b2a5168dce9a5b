#pragma once

#include <QObject>
#include <QSet>

#include "BeepWorker.h"
#include "FeedbackSounds.h"
#include "FrameScanner.h"
#include "MeasuringList.h"
#include "ReadingLog.h"
#include "SoundOptions.h"

class Beeper;
class GaugeSession;
class SoundPlayer;

// The measuring page's work without its widgets: the reading log and the
// measuring list, the panels' substrate and value, a gauge frame or a typed
// value becoming a reading, stepping and deleting, and each event's sound,
// through the sound card or the speaker, falling back to the speaker when
// the sound card fails. The sound choice is held here as a value. What
// changes is reported by signals, in the order the person must see it; the
// page shows it. Lives on the window thread.
class MeasuringController : public QObject
{
    Q_OBJECT

public:
    MeasuringController(GaugeSession &gauge, SoundPlayer &player, Beeper &beeper,
                        QObject *parent = nullptr);

    const ReadingLog &log() const { return m_log; }
    const MeasuringList &list() const { return m_list; }
    int currentPoint() const { return m_list.currentPoint(); }
    // What P_ActMetal and P_ActMeasValue show.
    Substrate substrate() const { return m_substrate; }
    const QString &valueText() const { return m_valueText; }
    const SoundOptions &sound() const { return m_sound; }
    FeedbackSounds &sounds() { return m_sounds; }

    // The measuring list from the plan's ticked points (the first selected).
    void fill(const QList<int> &points);
    // Point selection: the point's log shown afresh, "FE" and "----".
    void selectPosition(int position);
    void stepForward();
    void stepBack();
    // Deletes line `line` of the current point; nothing when it is negative.
    void deleteReading(int line);
    // The substrate typed readings take: AL becomes FE, anything else AL.
    void toggleSubstrate();
    // Records the typed text as a reading (5..1000) and returns the value.
    int typeReading(const QString &text);
    // Every point's log emptied ("Nem" to keeping them).
    void discardAll();
    // Readings taken back from an inspection an earlier run left unfinished.
    void restore(const QList<std::pair<int, Reading>> &readings);

    // The gauge's frames in the connect wait and while measuring.
    void ComPort1RxChar_GetMenu(const GaugeFrame &frame);
    void ComPort1RxChar(const GaugeFrame &frame);
    // spokenValue: the value a MeasurementOk says when values are spoken.
    void RaiseFeedback(FeedbackEvent event, const QString &spokenValue = QString());

    // The sound options: read at start, chosen on the first page, and
    // written back each time.
    void loadSoundOptions();
    void CB_SoundChange(int device);
    void CB_SpeakNumChange(int readingMode);

    // The program is ending: no sound from now on.
    void silence();

Q_SIGNALS:
    // The measuring list was rebuilt.
    void listFilled();
    // The current point is shown afresh (CB_ActMeasNameChange).
    void pointShown();
    // The panels show a new reading: painted before anything else happens.
    void readingShown();
    // The reading's line joins the current point's list, selected.
    void readingAdded(const QString &line);
    // Line `line` left the list; `selectAfter` is selected (-1: none).
    void readingRemoved(int line, int selectAfter);
    void substrateShown();
    void soundChoiceShown();
    // The inspection in progress changed (a reading, a deletion, a discard).
    void inspectionChanged();
    // No sound can be heard at all; said once.
    void inaudible();
    void info(const QString &message, const QString &description);
    void errorBox(const QString &text);

private:
    void RecordReading(Substrate substrate, int value);
    void recordReading(Reading reading);
    void showSubstrate(Substrate substrate);
    void CB_ActMeasNameChange();
    void fallBackToSpeaker(FeedbackEvent event, const QString &unplayablePath);
    void beep(FeedbackEvent event);
    void tellUnplayable(const QString &path);
    void holdWhileSoundsBusy();

    GaugeSession &m_gauge;
    Beeper &m_beeper;
    BeepWorker m_beepWorker;
    FeedbackSounds m_sounds;
    ReadingLog m_log;
    MeasuringList m_list;
    SoundOptions m_sound;
    Substrate m_substrate = Substrate::FE;
    QString m_valueText = QStringLiteral("8888");
    bool m_holding = false; // the gauge waits until the sound has started
    bool m_silenced = false;
    // Said once: no sound output at all; each recording that cannot be played.
    bool m_toldInaudible = false;
    QSet<QString> m_toldUnplayable;
};
