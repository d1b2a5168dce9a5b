#include "PcmPump.h"

#include "Failure.h"

PcmPump::PcmPump(std::unique_ptr<PcmOutput> output, int feedIntervalMs, QObject *parent)
    : QObject(parent), m_output(std::move(output)), m_feeder(this), m_idle(this)
{
    m_feeder.setInterval(feedIntervalMs);
    connect(&m_feeder, &QTimer::timeout, this, &PcmPump::feed);
    m_idle.setSingleShot(true);
    m_idle.setInterval(kIdleCloseMs);
    connect(&m_idle, &QTimer::timeout, this, &PcmPump::closeWhenIdle);
}

PcmPump::~PcmPump() = default;

void PcmPump::start(const PcmFormat &format, int bufferMs)
{
    if (m_format != format)
        m_queued.clear(); // samples of another format
    if (!m_output->start(format, bufferMs))
        throw Failure(QStringLiteral("Exception"),
                      QStringLiteral("The audio output cannot be opened"));
    m_format = format;
    m_feeder.start();
}

void PcmPump::append(const QByteArray &pcm)
{
    m_queued += pcm;
    m_idle.stop();
}

void PcmPump::feed()
{
    const qint64 room = m_output->room();
    const qint64 taken = qMin<qint64>(qMax<qint64>(room, 0), m_queued.size());
    if (taken > 0) {
        m_output->write(QByteArrayView(m_queued).first(taken));
        m_queued.remove(0, taken);
    }
    if (room > taken) // silence keeps the output running between sounds
        m_output->write(QByteArray(room - taken, '\0'));
    if (m_queued.isEmpty() && !m_idle.isActive())
        m_idle.start();
    Q_EMIT fed(room, taken);
}

void PcmPump::closeWhenIdle()
{
    if (!m_queued.isEmpty())
        return;
    m_feeder.stop();
    m_output->stop();
    m_format = PcmFormat();
}
