#pragma once

#include <QAudioFormat>
#include <QByteArrayView>

class QAudioSink;
class QIODevice;

// The sound card as a player feeds it: one stream of PCM samples in one
// format at a time, taking as many bytes as it has room for. A stand-in may
// take its place (a stalled output in the tests).
class PcmOutput
{
public:
    PcmOutput() = default;
    virtual ~PcmOutput();
    PcmOutput(const PcmOutput &) = delete;
    PcmOutput &operator=(const PcmOutput &) = delete;

    // Whether there is a sound output at all, and whether it plays the format.
    virtual bool available() const;
    virtual bool supports(const QAudioFormat &format) const;
    // Opens the stream for the format, unless it is open and working in that
    // format already. Throws Failure.
    virtual void start(const QAudioFormat &format, int bufferMs);
    // Bytes the stream takes now; 0 when it is not open.
    virtual qint64 room() const;
    virtual void write(QByteArrayView pcm);
    virtual void stop();
    // Bytes written since the stream was opened, and those it has played.
    virtual qint64 written() const { return m_written; }
    virtual qint64 played() const;

private:
    QAudioSink *m_sink = nullptr;
    QIODevice *m_device = nullptr;
    QAudioFormat m_format;
    qint64 m_written = 0;
};
