// Reading the recordings: what is accepted as a PCM WAV file, with which
// format and samples, and what is refused.
#include <QTest>
#include <QtEndian>

#include "WavFile.h"

namespace {

QByteArray u32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray u16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray chunk(const QByteArray &id, const QByteArray &body, qint64 declared = -1)
{
    QByteArray c = id + u32(quint32(declared < 0 ? body.size() : declared)) + body;
    if (body.size() % 2)
        c += '\0'; // chunks are padded to an even length
    return c;
}

QByteArray fmt(quint16 channels, quint32 rate, quint16 bits, quint16 tag = 1, int extra = 0)
{
    const quint16 frame = quint16(channels * bits / 8);
    return chunk("fmt ", u16(tag) + u16(channels) + u32(rate) + u32(rate * frame) + u16(frame) +
                             u16(bits) + QByteArray(extra, '\0'));
}

// The extensible header: the common part, 22 more bytes (valid bits, channel
// mask) and the sub-format GUID whose first two bytes are the coding.
QByteArray extensible(quint16 channels, quint32 rate, quint16 bits, quint16 coding)
{
    const quint16 frame = quint16(channels * bits / 8);
    return chunk("fmt ", u16(0xFFFE) + u16(channels) + u32(rate) + u32(rate * frame) + u16(frame) +
                             u16(bits) + u16(22) + u16(bits) + u32(0) + u16(coding) +
                             QByteArray::fromHex("000000001000800000aa00389b71"));
}

template <typename T> QByteArray floats(std::initializer_list<T> values)
{
    QByteArray b;
    for (T v : values) {
        T le = qToLittleEndian(v);
        b.append(reinterpret_cast<const char *>(&le), sizeof le);
    }
    return b;
}

QByteArray riff(const QByteArray &chunks)
{
    return "RIFF" + u32(quint32(4 + chunks.size())) + "WAVE" + chunks;
}

} // namespace

class TestWavFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void accepted_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("sampleBytes");
        QTest::addColumn<QByteArray>("pcm");

        const QByteArray s16 = QByteArray::fromHex("0100ff7f0080feff");
        QTest::newRow("16-bit mono")
            << riff(fmt(1, 22050, 16) + chunk("data", s16)) << 1 << 22050 << 2 << s16;
        // Every coding is played as 16-bit samples: the loudest and softest
        // values of each land on the 16-bit ones.
        const QByteArray loudSoft = QByteArray::fromHex("0000ff7f0080");
        const QByteArray floatLoudSoft = QByteArray::fromHex("0000ff7f0180");
        QTest::newRow("8-bit stereo")
            << riff(fmt(2, 8000, 8) + chunk("data", QByteArray::fromHex("80ff01ff"))) << 2 << 8000
            << 2 << QByteArray::fromHex("0000007f0081007f");
        QTest::newRow("24-bit mono")
            << riff(fmt(1, 48000, 24) + chunk("data", QByteArray::fromHex("000000ffff7f000080")))
            << 1 << 48000 << 2 << loudSoft;
        QTest::newRow("32-bit mono")
            << riff(fmt(1, 48000, 32) +
                    chunk("data", QByteArray::fromHex("00000000ffffff7f00000080")))
            << 1 << 48000 << 2 << loudSoft;
        QTest::newRow("32-bit float, beyond full scale clipped")
            << riff(fmt(1, 44100, 32, 3) +
                    chunk("data", floats<float>({0.0f, 1.0f, -1.0f, 2.5f, -7.0f})))
            << 1 << 44100 << 2 << QByteArray::fromHex("0000ff7f0180ff7f0180");
        QTest::newRow("64-bit float")
            << riff(fmt(1, 44100, 64, 3) + chunk("data", floats<double>({0.0, 1.0, -1.0}))) << 1
            << 44100 << 2 << floatLoudSoft;
        QTest::newRow("extensible, 16-bit PCM inside")
            << riff(extensible(2, 22050, 16, 1) + chunk("data", s16)) << 2 << 22050 << 2 << s16;
        QTest::newRow("extensible, float inside")
            << riff(extensible(1, 22050, 32, 3) + chunk("data", floats<float>({0.0f, 1.0f, -1.0f})))
            << 1 << 22050 << 2 << floatLoudSoft;
        // An odd-sized chunk before the format is skipped with its pad byte;
        // a longer format chunk (WAVE_FORMAT_EX) is read by its size.
        QTest::newRow("list chunk first, long fmt")
            << riff(chunk("LIST", "abc") + fmt(1, 11025, 16, 1, 2) + chunk("data", s16)) << 1
            << 11025 << 2 << s16;
        QTest::newRow("data before fmt")
            << riff(chunk("data", s16) + fmt(2, 44100, 16)) << 2 << 44100 << 2 << s16;
        // A data chunk cut short plays what is there, in whole frames only.
        QTest::newRow("data cut short")
            << riff(fmt(2, 44100, 16) + "data" + u32(4000) + s16 + "\x01\x02\x03") << 2 << 44100
            << 2 << s16;
        QTest::newRow("odd bytes beyond the last frame")
            << riff(fmt(1, 8000, 16) + chunk("data", s16 + "\x05")) << 1 << 8000 << 2 << s16;
    }

    void accepted()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, channels);
        QFETCH(int, rate);
        QFETCH(int, sampleBytes);
        QFETCH(QByteArray, pcm);
        const std::optional<WavFile> wav = WavFile::parse(file);
        QVERIFY(wav);
        QCOMPARE(wav->format.channelCount, channels);
        QCOMPARE(wav->format.sampleRate, rate);
        QCOMPARE(wav->format.bytesPerFrame(), sampleBytes * channels);
        QCOMPARE(wav->pcm, pcm);
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("file");
        const QByteArray data = chunk("data", QByteArray(4, '\0'));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not RIFF") << ("RIFX" + riff(fmt(1, 8000, 16) + data).mid(4));
        QTest::newRow("not WAVE") << riff(fmt(1, 8000, 16) + data).replace("WAVE", "AVI ");
        QTest::newRow("no channels") << riff(fmt(0, 8000, 16) + data);
        QTest::newRow("nine channels") << riff(fmt(9, 8000, 16) + data);
        QTest::newRow("rate 0") << riff(fmt(1, 0, 16) + data);
        QTest::newRow("rate too high") << riff(fmt(1, 384001, 16) + data);
        QTest::newRow("short fmt") << riff(chunk("fmt ", QByteArray(14, '\1')) + data);
        QTest::newRow("no fmt") << riff(data);
        QTest::newRow("no data") << riff(fmt(1, 8000, 16));
        QTest::newRow("chunk beyond the end") << riff(chunk("LIST", "ab", 1000) + fmt(1, 8000, 16));
    }

    void refused()
    {
        QFETCH(QByteArray, file);
        WavFile::Refusal why = WavFile::Refusal::UnknownCoding;
        QVERIFY(!WavFile::parse(file, &why));
        QCOMPARE(why, WavFile::Refusal::NotWav);
    }

    // WAV files whose samples are coded otherwise (compressed) are told apart
    // from files that are no WAV at all.
    void unknownCodings()
    {
        const QByteArray data = chunk("data", QByteArray(4, '\0'));
        QByteArray foreignGuid = extensible(1, 8000, 16, 1);
        foreignGuid[8 + 30] = '\x42';
        for (const QByteArray &file :
             {riff(fmt(1, 8000, 4, 2) + data), riff(fmt(1, 8000, 12) + data),
              riff(fmt(1, 8000, 16, 0x55) + data), riff(extensible(1, 8000, 16, 2) + data),
              riff(foreignGuid + data), riff(fmt(1, 8000, 16, 0xFFFE) + data)}) {
            WavFile::Refusal why = WavFile::Refusal::NotWav;
            QVERIFY(!WavFile::parse(file, &why));
            QCOMPARE(why, WavFile::Refusal::UnknownCoding);
        }
    }
};

QTEST_APPLESS_MAIN(TestWavFile)
#include "tst_wavfile.moc"
