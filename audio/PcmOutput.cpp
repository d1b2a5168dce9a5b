#include "PcmOutput.h"

#include "Failure.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>

PcmOutput::~PcmOutput()
{
    stop();
}

bool PcmOutput::available() const
{
    return !QMediaDevices::audioOutputs().isEmpty();
}

bool PcmOutput::supports(const QAudioFormat &format) const
{
    return QMediaDevices::defaultAudioOutput().isFormatSupported(format);
}

void PcmOutput::start(const QAudioFormat &format, int bufferMs)
{
    if (m_sink && m_format == format && m_sink->error() == QAudio::NoError)
        return;
    stop();
    m_format = format;
    m_sink = new QAudioSink(QMediaDevices::defaultAudioOutput(), format);
    m_sink->setBufferSize(format.bytesForDuration(qint64(bufferMs) * 1000));
    m_device = m_sink->start();
    m_written = 0;
    if (!m_device || m_sink->error() != QAudio::NoError)
        throw Failure(QStringLiteral("Exception"),
                      QStringLiteral("The audio output cannot be opened"));
}

qint64 PcmOutput::room() const
{
    if (!m_sink || !m_device)
        return 0;
    const int frame = qMax(1, m_format.bytesPerFrame());
    const qint64 free = m_sink->bytesFree();
    return free - free % frame;
}

void PcmOutput::write(QByteArrayView pcm)
{
    if (m_device)
        m_written += qMax<qint64>(m_device->write(pcm.data(), pcm.size()), 0);
}

qint64 PcmOutput::played() const
{
    return m_sink ? m_format.bytesForDuration(m_sink->processedUSecs()) : 0;
}

void PcmOutput::stop()
{
    if (m_sink)
        m_sink->stop();
    delete m_sink;
    m_sink = nullptr;
    m_device = nullptr;
}
