#pragma once

#include <QtGlobal>

// The samples a sound output is fed: 16-bit signed, the channels of a frame
// side by side, at a sample rate. Every player hands the output this one
// coding, so that no file fails on an output that lacks its own.
struct PcmFormat
{
    static constexpr int kBytesPerSample = 2;

    int sampleRate = 0;
    int channelCount = 0;

    constexpr bool isValid() const { return sampleRate > 0 && channelCount > 0; }
    constexpr int bytesPerFrame() const { return kBytesPerSample * channelCount; }
    // Whole frames only, as an output takes them.
    constexpr qint64 bytesForDuration(qint64 microseconds) const
    {
        return isValid() ? bytesPerFrame() * (microseconds * sampleRate / 1000000) : 0;
    }
    constexpr qint64 durationForBytes(qint64 bytes) const
    {
        return isValid() && bytes > 0 ? 1000000 * (bytes / bytesPerFrame()) / sampleRate : 0;
    }

    friend constexpr bool operator==(const PcmFormat &, const PcmFormat &) = default;
};
