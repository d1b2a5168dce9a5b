#pragma once

#include "Failure.h"

#include <QObject>
#include <QString>

// A sound file that is there and is a WAV file, but whose samples are coded
// in a way the player does not know (compressed): the sound card itself is
// fine, only this file cannot be played.
class UnplayableSound : public Failure
{
public:
    explicit UnplayableSound(const QString &path)
        : Failure(QStringLiteral("Exception"),
                  QStringLiteral("The coding of the sound file %1 is not known").arg(path)),
          m_path(path)
    {
    }
    const QString &path() const { return m_path; }

private:
    QString m_path;
};

// The WAV player: one open file at a time. A one-shot option applies to the
// next play only: notify (the play raises endEvent when it stops, at its end
// or when the file is closed); it is on unless switched off since the last
// play. play() returns at once; stopped() tells when the sound has ended.
// Failures are thrown as Failure.
class SoundPlayer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void close() = 0;
    virtual void open(const QString &path) = 0;
    virtual void play() = 0;
    virtual bool isPlaying() const = 0;
    // How long the sound playing now may still take at most; 0 when silent.
    virtual int playingMsLeft() const { return 0; }

    void setNotify(bool on) { m_notify = on; }

Q_SIGNALS:
    // A play started with notify has stopped.
    void endEvent();
    // Any play has stopped.
    void stopped();

protected:
    // The option for the play that starts now; it returns to its default.
    bool takeNotify() { return std::exchange(m_notify, true); }

private:
    bool m_notify = true;
};
