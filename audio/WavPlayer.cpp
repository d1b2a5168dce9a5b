#include "WavPlayer.h"

#include "Failure.h"

#include <QAudioDevice>
#include <QEventLoop>
#include <QFileInfo>
#include <QMediaDevices>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int kLoadTimeoutMs = 5000;

[[noreturn]] void fail(const QString &text)
{
    throw Failure(QStringLiteral("Exception"), text);
}

} // namespace

WavPlayer::WavPlayer(QObject *parent) : SoundPlayer(parent) {}

void WavPlayer::close()
{
    if (!m_effect)
        return;
    QSoundEffect *effect = std::exchange(m_effect, nullptr);
    effect->disconnect(this);
    effect->stop();
    effect->deleteLater();
    m_path.clear();
    if (std::exchange(m_playing, false)) {
        Q_EMIT stopped();
        if (std::exchange(m_notifyThisPlay, false))
            Q_EMIT endEvent();
    }
}

void WavPlayer::open(const QString &path)
{
    close();
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        fail(QStringLiteral("Cannot open the sound file %1").arg(path));
    if (QMediaDevices::audioOutputs().isEmpty())
        fail(QStringLiteral("No audio output device"));
    auto *effect = new QSoundEffect(this);
    effect->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    if (effect->status() != QSoundEffect::Ready && effect->status() != QSoundEffect::Error) {
        QEventLoop loop;
        connect(effect, &QSoundEffect::statusChanged, &loop, [&loop, effect] {
            if (effect->status() == QSoundEffect::Ready || effect->status() == QSoundEffect::Error)
                loop.quit();
        });
        QTimer::singleShot(kLoadTimeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (effect->status() != QSoundEffect::Ready) {
        delete effect;
        fail(QStringLiteral("Cannot play the sound file %1").arg(path));
    }
    m_effect = effect;
    m_path = path;
    connect(m_effect, &QSoundEffect::playingChanged, this, &WavPlayer::onPlayingChanged);
}

void WavPlayer::play()
{
    if (!m_effect)
        fail(QStringLiteral("No sound file is open"));
    m_notifyThisPlay = takeNotify();
    const bool wait = takeWait();
    m_playing = true;
    m_effect->play();
    if (wait && m_playing) {
        QEventLoop loop;
        connect(this, &SoundPlayer::stopped, &loop, &QEventLoop::quit);
        if (m_playing)
            loop.exec();
    }
}

bool WavPlayer::isPlaying() const
{
    return m_playing;
}

void WavPlayer::onPlayingChanged()
{
    if (!m_effect || m_effect->isPlaying() || !m_playing)
        return;
    m_playing = false;
    Q_EMIT stopped();
    if (std::exchange(m_notifyThisPlay, false))
        Q_EMIT endEvent();
}
