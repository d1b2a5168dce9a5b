#include "WavPlayer.h"

#include "Failure.h"
#include "WavFile.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QEventLoop>
#include <QFile>
#include <QMediaDevices>

namespace {

constexpr int kBufferMs = 120;
constexpr int kFeedIntervalMs = 10;
constexpr int kIdleCloseMs = 3000;

[[noreturn]] void fail(const QString &text)
{
    throw Failure(QStringLiteral("Exception"), text);
}

} // namespace

WavPlayer::WavPlayer(QObject *parent) : SoundPlayer(parent)
{
    m_feeder.setInterval(kFeedIntervalMs);
    connect(&m_feeder, &QTimer::timeout, this, &WavPlayer::feed);
    m_idle.setSingleShot(true);
    m_idle.setInterval(kIdleCloseMs);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        if (!m_playing && m_sink) {
            m_feeder.stop();
            m_sink->stop();
            delete m_sink;
            m_sink = nullptr;
            m_output = nullptr;
        }
    });
}

WavPlayer::~WavPlayer()
{
    if (m_sink)
        m_sink->stop();
    delete m_sink;
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
    if (QMediaDevices::audioOutputs().isEmpty())
        fail(QStringLiteral("No audio output device"));
    std::optional<WavFile> wav = WavFile::parse(file.readAll());
    if (!wav)
        fail(QStringLiteral("Not a PCM WAV file: %1").arg(path));
    if (!QMediaDevices::defaultAudioOutput().isFormatSupported(wav->format))
        fail(QStringLiteral("The audio output cannot play %1").arg(path));
    m_format = wav->format;
    m_clip = wav->pcm;
    m_open = true;
}

void WavPlayer::ensureOutput()
{
    if (m_sink && m_sinkFormat == m_format && m_sink->error() == QAudio::NoError)
        return;
    if (m_sink) {
        m_sink->stop();
        delete m_sink;
    }
    m_sinkFormat = m_format;
    m_sink = new QAudioSink(QMediaDevices::defaultAudioOutput(), m_format, this);
    m_sink->setBufferSize(m_format.bytesForDuration(kBufferMs * 1000));
    m_output = m_sink->start();
    if (!m_output || m_sink->error() != QAudio::NoError)
        fail(QStringLiteral("The audio output cannot be opened"));
    m_feeder.start();
}

void WavPlayer::feed()
{
    if (!m_sink || !m_output)
        return;
    const int frame = m_sinkFormat.bytesPerFrame();
    qint64 room = m_sink->bytesFree();
    room -= room % frame;
    if (room <= 0)
        return;
    const qint64 n = qMin<qint64>(room, m_pending.size());
    if (n > 0) {
        m_output->write(m_pending.constData(), n);
        m_pending.remove(0, n);
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
    ensureOutput();
    m_idle.stop();
    m_playing = true;
    m_pending = m_clip;
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
