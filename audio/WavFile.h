#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <optional>

// A PCM WAV file's format and samples.
struct WavFile
{
    QAudioFormat format;
    QByteArray pcm;

    // Nothing when the content is not a PCM WAV file (8, 16 or 32 bits).
    static std::optional<WavFile> parse(const QByteArray &content);
};
