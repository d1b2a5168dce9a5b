#pragma once

#include "PcmPump.h"
#include "SoundPlayer.h"

#include <memory>

// The WAV player on the default audio output, through one output stream that
// stays open while sounds follow each other (a PcmPump hands it the clip's
// samples, and silence between clips). A clip counts as played once its last
// sample has gone to the output, so that the next clip of a chain follows it
// without a gap. An output that stalls (takes no samples for kStallMs) ends the
// clip, so nothing waits on it for longer than the clip's length and that
// margin. Opening fails when the file is missing or no PCM
// WAV file, or when there is no audio output at all.
class WavPlayer : public SoundPlayer
{
    Q_OBJECT

public:
    static constexpr int kStallMs = 3000;
    static constexpr int kFeedIntervalMs = 10;

    explicit WavPlayer(std::unique_ptr<PcmOutput> output, QObject *parent = nullptr);
    ~WavPlayer() override;
    // How long an output may take nothing before the clip ends (kStallMs);
    // tests show a stall in less.
    void setStallMs(int ms) { m_stallMs = ms; }

    void close() override;
    void open(const QString &path) override;
    void play() override;
    bool isPlaying() const override { return m_playing; }
    int playingMsLeft() const override;

private:
    void onFed(qint64 room, qint64 taken);
    void finish();

    PcmPump m_pump;
    PcmFormat m_format;
    QByteArray m_clip;
    bool m_open = false;
    bool m_playing = false;
    bool m_notifyThisPlay = false;
    int m_stalledFeeds = 0; // feeder turns in a row that the output took nothing
    int m_stallMs = kStallMs;
};
