#pragma once

#include "PcmFormat.h"

#include <QByteArrayView>

// The sound card as a player feeds it: one stream of PCM samples in one
// format at a time, taking as many bytes as it has room for. The sound card's
// own output lives in a module loaded with the first sound (SoundModule); a
// stand-in may take its place (a stalled output in the tests). Nothing here
// throws, so that an output made in the module can be used from the program.
class PcmOutput
{
public:
    PcmOutput() = default;
    virtual ~PcmOutput() = default;
    PcmOutput(const PcmOutput &) = delete;
    PcmOutput &operator=(const PcmOutput &) = delete;

    // Whether there is a sound output at all, and whether it plays the format.
    virtual bool available() const = 0;
    virtual bool supports(const PcmFormat &format) const = 0;
    // Opens the stream for the format, unless it is open and working in that
    // format already; false when it cannot be opened.
    virtual bool start(const PcmFormat &format, int bufferMs) = 0;
    // Bytes the stream takes now; 0 when it is not open.
    virtual qint64 room() const = 0;
    virtual void write(QByteArrayView pcm) = 0;
    virtual void stop() = 0;
    // Bytes written since the stream was opened, and those it has played.
    virtual qint64 written() const = 0;
    virtual qint64 played() const = 0;
};
