#include "ToneBeeper.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QSemaphore>
#include <QTimer>
#include <cmath>
#include <deque>
#include <memory>
#include <numbers>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace {

constexpr int kSampleRate = 22050;
constexpr int kIdleCloseMs = 3000;

QByteArray sineTone(int frequencyHz, int durationMs)
{
    const int samples = kSampleRate * durationMs / 1000;
    QByteArray pcm(samples * int(sizeof(qint16)), '\0');
    auto *out = reinterpret_cast<qint16 *>(pcm.data());
    for (int i = 0; i < samples; ++i)
        out[i] = qint16(8000 * std::sin(2 * std::numbers::pi * frequencyHz * i / kSampleRate));
    return pcm;
}

} // namespace

// The tones on the default audio output: pushes them into it and tells each
// caller once its tone has been played out. A tone whose caller gave up
// waiting (the output stalled) still plays whole, before the next.
class SinkToneOutput : public ToneOutput
{
public:
    void play(int frequencyHz, int durationMs, std::function<void()> done) override
    {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        QAudioFormat format;
        format.setSampleRate(kSampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        if (device.isNull() || !device.isFormatSupported(format)) {
            done();
            return;
        }
        if (!m_sink) {
            m_sink = new QAudioSink(device, format, this);
            m_sink->setBufferSize(format.bytesForDuration(100000));
            m_io = m_sink->start();
            m_written = 0;
            m_feeder = new QTimer(this);
            m_feeder->setInterval(5);
            connect(m_feeder, &QTimer::timeout, this, &SinkToneOutput::feed);
            m_feeder->start();
        }
        m_pcm += sineTone(frequencyHz, durationMs);
        // It has sounded once all bytes up to its last one have been played.
        m_pending.push_back({m_written + m_pcm.size(), std::move(done)});
        m_idleSince.invalidate();
        feed();
    }

private:
    void feed()
    {
        if (!m_sink || !m_io)
            return;
        qint64 room = m_sink->bytesFree() & ~qint64(1);
        const qint64 n = qMin<qint64>(room, m_pcm.size());
        if (n > 0) {
            m_io->write(m_pcm.constData(), n);
            m_pcm.remove(0, n);
            m_written += n;
            room -= n;
        }
        if (room > 0 && m_pcm.isEmpty()) { // silence between tones keeps the output running
            m_io->write(QByteArray(room, '\0'));
            m_written += room;
        }
        const qint64 played = m_sink->format().bytesForDuration(m_sink->processedUSecs());
        while (!m_pending.empty() && played >= m_pending.front().first) {
            m_pending.front().second();
            m_pending.pop_front();
            if (m_pending.empty())
                m_idleSince.start();
        }
        // Close the output after a while without tones.
        if (m_pending.empty() && m_idleSince.isValid() && m_idleSince.elapsed() > kIdleCloseMs) {
            m_feeder->stop();
            m_sink->stop();
            std::exchange(m_sink, nullptr)->deleteLater();
            std::exchange(m_feeder, nullptr)->deleteLater();
            m_io = nullptr;
            m_idleSince.invalidate();
        }
    }

    QAudioSink *m_sink = nullptr;
    QIODevice *m_io = nullptr;
    QTimer *m_feeder = nullptr;
    QByteArray m_pcm;     // tone bytes not yet written
    qint64 m_written = 0; // bytes written to the output since it was opened
    std::deque<std::pair<qint64, std::function<void()>>>
        m_pending; // last byte of each tone, its caller
    QElapsedTimer m_idleSince;
};

ToneBeeper::ToneBeeper()
#ifndef Q_OS_WIN
    : ToneBeeper(std::make_unique<SinkToneOutput>())
#endif
{
}

ToneBeeper::ToneBeeper(std::unique_ptr<ToneOutput> output) : m_output(output.release())
{
    m_output->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_output, &QObject::deleteLater);
    m_thread.start();
}

ToneBeeper::~ToneBeeper()
{
    m_thread.quit();
    m_thread.wait();
}

void ToneBeeper::Beep(int frequencyHz, int durationMs)
{
#ifdef Q_OS_WIN
    if (!m_output) {
        ::Beep(DWORD(frequencyHz), DWORD(durationMs));
        return;
    }
#endif
    QElapsedTimer clock;
    clock.start();
    // Shared with the output, so that a release after the wait has given up
    // reaches this beep's own semaphore, still alive, and nothing else.
    const auto done = std::make_shared<QSemaphore>();
    QMetaObject::invokeMethod(m_output, [output = m_output, frequencyHz, durationMs, done] {
        output->play(frequencyHz, durationMs, [done] { done->release(); });
    });
    done->tryAcquire(1, durationMs + kMarginMs);
    // The beep lasts its length whether or not it could be heard.
    const qint64 left = durationMs - clock.elapsed();
    if (left > 0)
        QThread::msleep(ulong(left));
}
