#include "WavFile.h"

#include <QtEndian>

namespace {

quint32 u32(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}

quint16 u16(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint16>(b.constData() + at);
}

} // namespace

std::optional<WavFile> WavFile::parse(const QByteArray &content)
{
    if (content.size() < 12 || !content.startsWith("RIFF") || content.mid(8, 4) != "WAVE")
        return std::nullopt;
    WavFile wav;
    bool haveFormat = false;
    bool haveData = false;
    qsizetype pos = 12;
    while (pos + 8 <= content.size() && !(haveFormat && haveData)) {
        const QByteArray id = content.mid(pos, 4);
        const qsizetype size = u32(content, pos + 4);
        const qsizetype body = pos + 8;
        if (size < 0 || body + size > content.size()) {
            if (id != "data")
                return std::nullopt;
            // A data chunk cut short: play what is there.
        }
        if (id == "fmt ") {
            if (size < 16)
                return std::nullopt;
            const quint16 tag = u16(content, body);
            const quint16 channels = u16(content, body + 2);
            const quint32 rate = u32(content, body + 4);
            const quint16 bits = u16(content, body + 14);
            if (tag != 1 || channels == 0 || channels > 8 || rate == 0 || rate > 384000)
                return std::nullopt;
            wav.format.setChannelCount(channels);
            wav.format.setSampleRate(int(rate));
            switch (bits) {
            case 8:
                wav.format.setSampleFormat(QAudioFormat::UInt8);
                break;
            case 16:
                wav.format.setSampleFormat(QAudioFormat::Int16);
                break;
            case 32:
                wav.format.setSampleFormat(QAudioFormat::Int32);
                break;
            default:
                return std::nullopt;
            }
            haveFormat = true;
        } else if (id == "data") {
            wav.pcm = content.mid(body, size);
            haveData = true;
        }
        pos = body + size + (size & 1);
    }
    if (!haveFormat || !haveData)
        return std::nullopt;
    const int frame = wav.format.bytesPerFrame();
    wav.pcm.truncate(wav.pcm.size() - wav.pcm.size() % frame);
    return wav;
}
