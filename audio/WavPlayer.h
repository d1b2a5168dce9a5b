#pragma once

#include "SoundPlayer.h"

#include <QAudioFormat>
#include <QTimer>

class QAudioSink;

// The WAV player on the default audio output, through one output stream that
// stays open while sounds follow each other: a timer hands it the clip's
// samples, and silence between clips. A clip counts as played once its last
// sample has gone to the output, so that the next clip of a chain follows it
// without a gap. Opening fails when the file is
// missing or no PCM WAV file, or when there is no audio output at all.
class WavPlayer : public SoundPlayer
{
    Q_OBJECT

public:
    explicit WavPlayer(QObject *parent = nullptr);
    ~WavPlayer() override;

    void close() override;
    void open(const QString &path) override;
    void play() override;
    bool isPlaying() const override { return m_playing; }

private:
    void ensureOutput();
    void feed();
    void finish();

    QAudioSink *m_sink = nullptr;
    QIODevice *m_output = nullptr;
    QByteArray m_pending; // samples of the playing clip not yet handed to the output
    QTimer m_feeder;
    QAudioFormat m_sinkFormat;
    QAudioFormat m_format;
    QByteArray m_clip;
    bool m_open = false;
    bool m_playing = false;
    bool m_notifyThisPlay = false;
    QTimer m_idle; // closes the output after a while of silence
};
