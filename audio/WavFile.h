#pragma once

#include "PcmFormat.h"

#include <QByteArray>
#include <optional>

// A WAV file's samples as the player plays them: 16-bit signed, whatever the
// file holds. Read are integer PCM of 8, 16, 24 or 32 bits, floating point of
// 32 or 64 bits, and the extensible header around either; every audio
// output takes 16-bit samples, so no file fails on an output that lacks its
// own sample format.
struct WavFile
{
    PcmFormat format;
    QByteArray pcm;

    // Why a file is not read: not a WAV file at all, or a WAV file whose
    // samples are coded in a way this reader does not know (compressed).
    enum class Refusal { NotWav, UnknownCoding };

    static std::optional<WavFile> parse(const QByteArray &content, Refusal *refusal = nullptr);
};
