// The sound card module: PcmOutput on the default audio output through Qt
// Multimedia. Kept out of the program, which loads it with the first sound,
// so that the audio libraries and the sound server's client cost a program
// that stays silent nothing.
#include "PcmOutput.h"
#include "SoundModuleEntry.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

namespace {

QAudioFormat audioFormat(const PcmFormat &format)
{
    QAudioFormat out;
    out.setSampleRate(format.sampleRate);
    out.setChannelCount(format.channelCount);
    out.setSampleFormat(QAudioFormat::Int16);
    return out;
}

class SoundCardOutput : public PcmOutput
{
public:
    ~SoundCardOutput() override { stop(); }

    bool available() const override { return !QMediaDevices::audioOutputs().isEmpty(); }

    bool supports(const PcmFormat &format) const override
    {
        return QMediaDevices::defaultAudioOutput().isFormatSupported(audioFormat(format));
    }

    bool start(const PcmFormat &format, int bufferMs) override
    {
        if (m_sink && m_format == format && m_sink->error() == QAudio::NoError)
            return true;
        stop();
        m_format = format;
        m_sink = new QAudioSink(QMediaDevices::defaultAudioOutput(), audioFormat(format));
        m_sink->setBufferSize(int(format.bytesForDuration(qint64(bufferMs) * 1000)));
        m_device = m_sink->start();
        m_written = 0;
        return m_device && m_sink->error() == QAudio::NoError;
    }

    qint64 room() const override
    {
        if (!m_sink || !m_device)
            return 0;
        const int frame = qMax(1, m_format.bytesPerFrame());
        const qint64 free = m_sink->bytesFree();
        return free - free % frame;
    }

    void write(QByteArrayView pcm) override
    {
        if (m_device)
            m_written += qMax<qint64>(m_device->write(pcm.data(), pcm.size()), 0);
    }

    qint64 written() const override { return m_written; }

    qint64 played() const override
    {
        return m_sink ? m_format.bytesForDuration(m_sink->processedUSecs()) : 0;
    }

    void stop() override
    {
        if (m_sink)
            m_sink->stop();
        delete m_sink;
        m_sink = nullptr;
        m_device = nullptr;
    }

private:
    QAudioSink *m_sink = nullptr;
    QIODevice *m_device = nullptr;
    PcmFormat m_format;
    qint64 m_written = 0;
};

} // namespace

extern "C" Q_DECL_EXPORT PcmOutput *kfzCreateSoundCardOutput(int version)
{
    static_assert(std::is_same_v<decltype(&kfzCreateSoundCardOutput), SoundModuleEntry::Create>);
    if (version != SoundModuleEntry::kVersion)
        return nullptr;
    return new SoundCardOutput;
}
