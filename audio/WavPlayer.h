#pragma once

#include "SoundPlayer.h"

#include <QSoundEffect>

// The WAV player on the default audio output. Opening fails when the file is
// missing or unreadable, or when there is no audio output at all.
class WavPlayer : public SoundPlayer
{
    Q_OBJECT

public:
    explicit WavPlayer(QObject *parent = nullptr);

    void close() override;
    void open(const QString &path) override;
    void play() override;
    bool isPlaying() const override;

private:
    void onPlayingChanged();

    QSoundEffect *m_effect = nullptr;
    QString m_path;
    bool m_notifyThisPlay = false;
    bool m_playing = false;
};
