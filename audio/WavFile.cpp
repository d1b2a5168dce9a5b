#include "WavFile.h"

#include <QtEndian>
#include <cmath>
#include <cstring>

namespace {

constexpr quint16 kPcm = 1;
constexpr quint16 kFloat = 3;
constexpr quint16 kExtensible = 0xFFFE;
// The sub-format GUID of the extensible header after its first two bytes,
// which hold the coding tag.
constexpr char kSubFormatTail[] = "\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71";

quint32 u32(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

quint16 u16(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

qint16 clamp16(double v)
{
    return qint16(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0));
}

// One sample of the stored coding as 16-bit signed.
using Converter = qint16 (*)(const char *);

Converter converter(quint16 coding, quint16 bits)
{
    if (coding == kPcm) {
        switch (bits) {
        case 8:
            return [](const char *s) { return qint16((int(quint8(*s)) - 128) * 256); };
        case 16:
            return [](const char *s) { return qFromLittleEndian<qint16>(s); };
        case 24:
            return [](const char *s) { return qint16(quint8(s[1]) | quint8(s[2]) << 8); };
        case 32:
            return [](const char *s) { return qint16(qFromLittleEndian<qint32>(s) >> 16); };
        }
    } else if (coding == kFloat) {
        switch (bits) {
        case 32:
            return [](const char *s) {
                float f;
                std::memcpy(&f, s, sizeof f);
                return clamp16(qFromLittleEndian(f));
            };
        case 64:
            return [](const char *s) {
                double d;
                std::memcpy(&d, s, sizeof d);
                return clamp16(qFromLittleEndian(d));
            };
        }
    }
    return nullptr;
}

} // namespace

std::optional<WavFile> WavFile::parse(const QByteArray &content, Refusal *refusal)
{
    const auto refuse = [refusal](Refusal why) {
        if (refusal)
            *refusal = why;
        return std::nullopt;
    };
    if (content.size() < 12 || !content.startsWith("RIFF") || content.mid(8, 4) != "WAVE")
        return refuse(Refusal::NotWav);
    QByteArray samples;
    Converter convert = nullptr;
    int channels = 0;
    int rate = 0;
    int sampleBytes = 0;
    bool haveFormat = false;
    bool haveData = false;
    qsizetype pos = 12;
    while (pos + 8 <= content.size() && !(haveFormat && haveData)) {
        const QByteArray id = content.mid(pos, 4);
        const qsizetype size = u32(content, pos + 4);
        const qsizetype body = pos + 8;
        if (size < 0 || body + size > content.size()) {
            if (id != "data")
                return refuse(Refusal::NotWav);
            // A data chunk cut short: play what is there.
        }
        if (id == "fmt ") {
            if (size < 16)
                return refuse(Refusal::NotWav);
            quint16 coding = u16(content, body);
            channels = u16(content, body + 2);
            const quint32 samplesPerSecond = u32(content, body + 4);
            const quint16 bits = u16(content, body + 14);
            if (channels == 0 || channels > 8 || samplesPerSecond == 0 || samplesPerSecond > 384000)
                return refuse(Refusal::NotWav);
            if (coding == kExtensible) {
                if (size < 40 || content.mid(body + 26, 14) != QByteArray(kSubFormatTail, 14))
                    return refuse(Refusal::UnknownCoding);
                coding = u16(content, body + 24);
            }
            convert = converter(coding, bits);
            if (!convert)
                return refuse(Refusal::UnknownCoding);
            rate = int(samplesPerSecond);
            sampleBytes = bits / 8;
            haveFormat = true;
        } else if (id == "data") {
            samples = content.mid(body, size);
            haveData = true;
        }
        pos = body + size + (size & 1);
    }
    if (!haveFormat || !haveData)
        return refuse(Refusal::NotWav);

    WavFile wav;
    wav.format.channelCount = channels;
    wav.format.sampleRate = rate;
    // Whole frames only: bytes beyond the last one are dropped.
    const qsizetype frame = qsizetype(sampleBytes) * channels;
    const qsizetype count = samples.size() / frame * channels;
    wav.pcm.resize(count * qsizetype(sizeof(qint16)));
    auto *out = reinterpret_cast<qint16 *>(wav.pcm.data());
    const char *in = samples.constData();
    for (qsizetype i = 0; i < count; ++i, in += sampleBytes)
        out[i] = qToLittleEndian(convert(in));
    return wav;
}
