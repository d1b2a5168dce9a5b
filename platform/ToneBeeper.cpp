#include "ToneBeeper.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QThread>
#include <cmath>
#include <numbers>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace {

constexpr int kSampleRate = 22050;

QByteArray sineTone(int frequencyHz, int durationMs)
{
    const int samples = kSampleRate * durationMs / 1000;
    QByteArray pcm(samples * int(sizeof(qint16)), '\0');
    auto *out = reinterpret_cast<qint16 *>(pcm.data());
    for (int i = 0; i < samples; ++i)
        out[i] = qint16(8000 * std::sin(2 * std::numbers::pi * frequencyHz * i / kSampleRate));
    return pcm;
}

} // namespace

void ToneBeeper::Beep(int frequencyHz, int durationMs)
{
#ifdef Q_OS_WIN
    ::Beep(DWORD(frequencyHz), DWORD(durationMs));
#else
    QElapsedTimer clock;
    clock.start();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (!device.isNull()) {
        QAudioFormat format;
        format.setSampleRate(kSampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        if (device.isFormatSupported(format)) {
            QByteArray pcm = sineTone(frequencyHz, durationMs);
            QBuffer buffer(&pcm);
            buffer.open(QIODevice::ReadOnly);
            QAudioSink sink(device, format);
            sink.start(&buffer);
            const qint64 left = durationMs - clock.elapsed();
            if (left > 0)
                QThread::msleep(ulong(left));
            sink.stop();
        }
    }
    // The beep lasts its length whether or not it could be heard.
    const qint64 left = durationMs - clock.elapsed();
    if (left > 0)
        QThread::msleep(ulong(left));
#endif
}
