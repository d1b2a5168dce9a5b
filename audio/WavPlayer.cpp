#include "WavPlayer.h"

#include "Failure.h"
#include "WavFile.h"

#include <QFile>

namespace {

constexpr int kBufferMs = 120;

[[noreturn]] void fail(const QString &text)
{
    throw Failure(QStringLiteral("Exception"), text);
}

} // namespace

WavPlayer::WavPlayer(std::unique_ptr<PcmOutput> output, QObject *parent)
    : SoundPlayer(parent), m_pump(std::move(output), kFeedIntervalMs)
{
    connect(&m_pump, &PcmPump::fed, this, &WavPlayer::onFed);
}

WavPlayer::~WavPlayer() = default;

int WavPlayer::playingMsLeft() const
{
    if (!m_playing)
        return 0;
    return int(m_format.durationForBytes(m_pump.queued()) / 1000) + kBufferMs + m_stallMs;
}

void WavPlayer::close()
{
    m_open = false;
    m_clip.clear();
    if (m_playing) {
        m_pump.drop();
        finish();
    }
}

void WavPlayer::open(const QString &path)
{
    close();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot open the sound file %1").arg(path));
    if (!m_pump.output().available())
        fail(QStringLiteral("No audio output device"));
    WavFile::Refusal refusal = WavFile::Refusal::NotWav;
    std::optional<WavFile> wav = WavFile::parse(file.readAll(), &refusal);
    if (!wav && refusal == WavFile::Refusal::UnknownCoding)
        throw UnplayableSound(path);
    if (!wav)
        fail(QStringLiteral("Not a WAV file: %1").arg(path));
    if (!m_pump.output().supports(wav->format))
        fail(QStringLiteral("The audio output cannot play %1").arg(path));
    m_format = wav->format;
    m_clip = wav->pcm;
    m_open = true;
}

void WavPlayer::onFed(qint64 room, qint64 taken)
{
    if (!m_playing)
        return;
    if (taken > 0) {
        m_stalledFeeds = 0;
    } else if (room <= 0 && ++m_stalledFeeds * kFeedIntervalMs >= m_stallMs) {
        // Counted in turns of the feeder, not in time, so that a window busy
        // elsewhere for a while does not pass for a stalled output.
        m_pump.drop(); // what the output takes later is silence
        finish();
        return;
    }
    if (m_pump.queued() == 0)
        finish();
}

void WavPlayer::play()
{
    if (!m_open)
        fail(QStringLiteral("No sound file is open"));
    m_notifyThisPlay = takeNotify();
    m_pump.start(m_format, kBufferMs);
    m_pump.drop();
    m_pump.append(m_clip);
    m_playing = true;
    m_stalledFeeds = 0;
    m_pump.feed();
}

void WavPlayer::finish()
{
    m_playing = false;
    Q_EMIT stopped();
    if (std::exchange(m_notifyThisPlay, false))
        Q_EMIT endEvent();
}
