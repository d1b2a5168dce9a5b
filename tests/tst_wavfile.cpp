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
        QTest::addColumn<int>("sampleFormat");
        QTest::addColumn<QByteArray>("pcm");

        const QByteArray s16 = QByteArray::fromHex("0100ff7f0080feff");
        QTest::newRow("16-bit mono") << riff(fmt(1, 22050, 16) + chunk("data", s16)) << 1 << 22050
                                     << int(QAudioFormat::Int16) << s16;
        const QByteArray u8("\x80\x7f\x00\xff", 4);
        QTest::newRow("8-bit stereo") << riff(fmt(2, 8000, 8) + chunk("data", u8)) << 2 << 8000
                                      << int(QAudioFormat::UInt8) << u8;
        QTest::newRow("32-bit mono")
            << riff(fmt(1, 48000, 32) + chunk("data", QByteArray(8, '\x11'))) << 1 << 48000
            << int(QAudioFormat::Int32) << QByteArray(8, '\x11');
        // An odd-sized chunk before the format is skipped with its pad byte;
        // a longer format chunk (WAVE_FORMAT_EX) is read by its size.
        QTest::newRow("list chunk first, long fmt")
            << riff(chunk("LIST", "abc") + fmt(1, 11025, 16, 1, 2) + chunk("data", s16)) << 1
            << 11025 << int(QAudioFormat::Int16) << s16;
        QTest::newRow("data before fmt") << riff(chunk("data", s16) + fmt(2, 44100, 16)) << 2
                                         << 44100 << int(QAudioFormat::Int16) << s16;
        // A data chunk cut short plays what is there, in whole frames only.
        QTest::newRow("data cut short")
            << riff(fmt(2, 44100, 16) + "data" + u32(4000) + s16 + "\x01\x02\x03") << 2 << 44100
            << int(QAudioFormat::Int16) << s16;
        QTest::newRow("odd bytes beyond the last frame")
            << riff(fmt(1, 8000, 16) + chunk("data", s16 + "\x05")) << 1 << 8000
            << int(QAudioFormat::Int16) << s16;
    }

    void accepted()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, channels);
        QFETCH(int, rate);
        QFETCH(int, sampleFormat);
        QFETCH(QByteArray, pcm);
        const std::optional<WavFile> wav = WavFile::parse(file);
        QVERIFY(wav);
        QCOMPARE(wav->format.channelCount(), channels);
        QCOMPARE(wav->format.sampleRate(), rate);
        QCOMPARE(int(wav->format.sampleFormat()), sampleFormat);
        QCOMPARE(wav->pcm, pcm);
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("file");
        const QByteArray data = chunk("data", QByteArray(4, '\0'));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not RIFF") << ("RIFX" + riff(fmt(1, 8000, 16) + data).mid(4));
        QTest::newRow("not WAVE") << riff(fmt(1, 8000, 16) + data).replace("WAVE", "AVI ");
        QTest::newRow("float samples") << riff(fmt(1, 8000, 32, 3) + data);
        QTest::newRow("24 bits") << riff(fmt(1, 8000, 24) + data);
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
        QVERIFY(!WavFile::parse(file));
    }
};

QTEST_APPLESS_MAIN(TestWavFile)
#include "tst_wavfile.moc"
