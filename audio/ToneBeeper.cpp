#include "ToneBeeper.h"

#include "Failure.h"
#include "PcmPump.h"
#include "SoundModule.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <cmath>
#include <deque>
#include <memory>
#include <numbers>

namespace {

constexpr int kSampleRate = 22050;
constexpr int kBufferMs = 100;
constexpr int kFeedIntervalMs = 5;

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

// The tones on the default audio output: queues them in a pump and tells
// each caller once its tone has been played out. A tone whose caller gave up
// waiting (the output stalled) still plays whole, before the next. The
// output is opened with the first tone, on the beeper's thread.
class SinkToneOutput : public ToneOutput
{
public:
    explicit SinkToneOutput(SoundModule &module) : m_module(module) {}

    void play(int frequencyHz, int durationMs, std::function<void()> done) override
    {
        const PcmFormat format{kSampleRate, 1};
        if (!m_pump) {
            m_pump = std::make_unique<PcmPump>(m_module.output(), kFeedIntervalMs);
            connect(m_pump.get(), &PcmPump::fed, this, &SinkToneOutput::tellPlayed);
        }
        try {
            if (!m_pump->output().available() || !m_pump->output().supports(format))
                throw Failure(QStringLiteral("Exception"), QStringLiteral("No tone output"));
            m_pump->start(format, kBufferMs);
        } catch (const Failure &) {
            done(); // it lasts its length all the same
            return;
        }
        const QByteArray tone = sineTone(frequencyHz, durationMs);
        // It has sounded once all bytes up to its last one have been played.
        m_pending.push_back({m_pump->written() + m_pump->queued() + tone.size(), std::move(done)});
        m_pump->append(tone);
        m_pump->feed();
    }

private:
    void tellPlayed()
    {
        const qint64 played = m_pump->played();
        // A stream opened anew counts from zero: ends beyond it are stale.
        const qint64 reach = m_pump->written() + m_pump->queued();
        while (!m_pending.empty() &&
               (played >= m_pending.front().first || m_pending.front().first > reach)) {
            m_pending.front().second();
            m_pending.pop_front();
        }
    }

    SoundModule &m_module;
    std::unique_ptr<PcmPump> m_pump;
    std::deque<std::pair<qint64, std::function<void()>>>
        m_pending; // last byte of each tone, its caller
};

ToneBeeper::ToneBeeper(SoundModule &module) : ToneBeeper(std::make_unique<SinkToneOutput>(module))
{
    m_module = &module;
}

ToneBeeper::ToneBeeper(std::unique_ptr<ToneOutput> output) : m_output(output.release())
{
    m_output->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_output, &QObject::deleteLater);
}

ToneBeeper::~ToneBeeper()
{
    m_thread.quit();
    m_thread.wait();
    if (!m_thread.isFinished() && !m_thread.isRunning())
        delete m_output; // never started: nothing runs on its thread
}

bool ToneBeeper::audible() const
{
    return !m_module || m_module->available();
}

void ToneBeeper::Beep(int frequencyHz, int durationMs)
{
    // The thread, and with it the sound output, starts with the first beep.
    std::call_once(m_started, [this] { m_thread.start(); });
    QElapsedTimer clock;
    clock.start();
    // Shared with the output, so that a release after the wait has given up
    // reaches this beep's own semaphore, still alive, and nothing else.
    const auto done = std::make_shared<QSemaphore>();
    QMetaObject::invokeMethod(m_output, [output = m_output, frequencyHz, durationMs, done] {
        output->play(frequencyHz, durationMs, [done] { done->release(); });
    });
    done->tryAcquire(1, durationMs + m_marginMs);
    // The beep lasts its length whether or not it could be heard.
    const qint64 left = durationMs - clock.elapsed();
    if (left > 0)
        QThread::msleep(ulong(left));
}
