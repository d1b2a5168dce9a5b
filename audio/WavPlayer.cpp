#include "WavPlayer.h"

#include "Failure.h"
#include "WavFile.h"

#include <QEventLoop>
#include <QFile>

namespace {

constexpr int kBufferMs = 120;
constexpr int kIdleCloseMs = 3000;

[[noreturn]] void fail(const QString &text)
{
    throw Failure(QStringLiteral("Exception"), text);
}

} // namespace

WavPlayer::WavPlayer(QObject *parent, std::unique_ptr<PcmOutput> output)
    : SoundPlayer(parent), m_output(std::move(output))
{
    m_feeder.setInterval(kFeedIntervalMs);
    connect(&m_feeder, &QTimer::timeout, this, &WavPlayer::feed);
    m_idle.setSingleShot(true);
    m_idle.setInterval(kIdleCloseMs);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        if (!m_playing) {
            m_feeder.stop();
            m_output->stop();
        }
    });
}

WavPlayer::~WavPlayer() = default;

int WavPlayer::playingMsLeft() const
{
    if (!m_playing)
        return 0;
    return int(m_format.durationForBytes(qint32(m_pending.size())) / 1000) + kBufferMs + kStallMs;
}

void WavPlayer::close()
{
    m_open = false;
    m_clip.clear();
    if (m_playing) {
        m_pending.clear();
        finish();
    }
}

void WavPlayer::open(const QString &path)
{
    close();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot open the sound file %1").arg(path));
    if (!m_output->available())
        fail(QStringLiteral("No audio output device"));
    std::optional<WavFile> wav = WavFile::parse(file.readAll());
    if (!wav)
        fail(QStringLiteral("Not a PCM WAV file: %1").arg(path));
    if (!m_output->supports(wav->format))
        fail(QStringLiteral("The audio output cannot play %1").arg(path));
    m_format = wav->format;
    m_clip = wav->pcm;
    m_open = true;
}

void WavPlayer::feed()
{
    qint64 room = m_output->room();
    if (room <= 0) {
        // Counted in turns of the feeder, not in time, so that a window busy
        // elsewhere for a while does not pass for a stalled output.
        if (m_playing && ++m_stalledFeeds * kFeedIntervalMs >= kStallMs) {
            m_pending.clear(); // what the output takes later is silence
            finish();
        }
        return;
    }
    const qint64 n = qMin<qint64>(room, m_pending.size());
    if (n > 0) {
        m_output->write(QByteArrayView(m_pending).first(n));
        m_pending.remove(0, n);
        m_stalledFeeds = 0;
    }
    if (room > n)
        m_output->write(QByteArray(room - n, '\0'));
    if (m_playing && m_pending.isEmpty())
        finish();
}

void WavPlayer::play()
{
    if (!m_open)
        fail(QStringLiteral("No sound file is open"));
    m_notifyThisPlay = takeNotify();
    const bool wait = takeWait();
    m_output->start(m_format, kBufferMs);
    m_feeder.start();
    m_idle.stop();
    m_playing = true;
    m_pending = m_clip;
    m_stalledFeeds = 0;
    feed();
    if (wait && m_playing) {
        QEventLoop loop;
        connect(this, &SoundPlayer::stopped, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void WavPlayer::finish()
{
    m_playing = false;
    m_idle.start();
    Q_EMIT stopped();
    if (std::exchange(m_notifyThisPlay, false))
        Q_EMIT endEvent();
}
