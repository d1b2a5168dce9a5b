// The real playback path: a PulseAudio server with a null sink stands in for
// the sound card; its monitor is recorded while the program, on the sound
// card with spoken values, confirms the gauge's key and a reading.
#include <QStandardPaths>
#include <QTemporaryDir>
#include <numeric>

#include "ProcessDrivers.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kFrameMs = 10;

struct Segment
{
    int startMs;
    int endMs;
};

// Sounding stretches of a recording (16-bit stereo), cut at silences of at
// least minGapMs.
QList<Segment> soundingSegments(const QByteArray &raw, int minGapMs)
{
    const auto *samples = reinterpret_cast<const qint16 *>(raw.constData());
    const qsizetype count = raw.size() / qsizetype(sizeof(qint16));
    const int perFrame = kRate * kChannels * kFrameMs / 1000;
    QList<Segment> segments;
    int silentFor = 0;
    for (qsizetype f = 0; (f + 1) * perFrame <= count; ++f) {
        int peak = 0;
        for (int i = 0; i < perFrame; ++i)
            peak = std::max(peak, std::abs(int(samples[f * perFrame + i])));
        const int ms = int(f) * kFrameMs;
        if (peak > 300) {
            if (segments.isEmpty() || silentFor >= minGapMs)
                segments.append({ms, ms + kFrameMs});
            else
                segments.last().endMs = ms + kFrameMs;
            silentFor = 0;
        } else {
            silentFor += kFrameMs;
        }
    }
    return segments;
}

QString describe(const QList<Segment> &segments)
{
    QString text;
    for (const Segment &s : segments)
        text += QStringLiteral("[%1..%2] ").arg(s.startMs).arg(s.endMs);
    return text;
}

// Picks the simulator's port, presses "Tovább" and sends the gauge's key.
void connectWithKey(Wizard &w, GaugeSimulator &gauge, const QString &folder)
{
    w.cmd("choose ComComboBox1 " + folder + "/gauge");
    w.cmd("click BB_ConfigNext");
    QTest::qWait(300);
    gauge.send("key");
    QVERIFY(w.waitFor("page", "1", 8000));
}

// A PulseAudio server with a null sink in a private runtime folder, and a
// recording of the sink's monitor.
struct NullSink
{
    bool start()
    {
        const QString pulseaudio = QStandardPaths::findExecutable("pulseaudio");
        const QString parec = QStandardPaths::findExecutable("parec");
        if (pulseaudio.isEmpty() || parec.isEmpty())
            return false;
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("PULSE_SINK", "kfz");
        server.setProcessEnvironment(env);
        server.start(pulseaudio, {"-n", "--daemonize=no", "--exit-idle-time=-1",
                                  "--load=module-null-sink sink_name=kfz",
                                  "--load=module-native-protocol-unix"});
        if (!server.waitForStarted())
            return false;
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(runtime.path() + "/pulse/native") && clock.elapsed() < 5000)
            QTest::qWait(20);
        if (!QFile::exists(runtime.path() + "/pulse/native"))
            return false; // the server did not come up here
        recorder.setProcessEnvironment(env);
        recorder.start(parec, {"--device=kfz.monitor", "--raw", "--format=s16le", "--rate=44100",
                               "--channels=2"});
        QObject::connect(&recorder, &QProcess::readyReadStandardOutput,
                         [this] { audio += recorder.readAllStandardOutput(); });
        return recorder.waitForStarted();
    }
    ~NullSink()
    {
        recorder.terminate();
        recorder.waitForFinished(2000);
        server.terminate();
        server.waitForFinished(3000);
    }
    QByteArray stop()
    {
        recorder.terminate();
        recorder.waitForFinished(2000);
        audio += recorder.readAllStandardOutput();
        return audio;
    }

    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess server;
    QProcess recorder;
    QByteArray audio;
};

} // namespace

class TestPlayback : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void withTheSpeakerEveryEventIsATone()
    {
        NullSink sink;
        if (!sink.start())
            QSKIP("no PulseAudio here");
        QTemporaryDir dir;
        const QString folder = dir.path();
        GaugeSimulator gauge(folder);
        {
            Wizard w(folder, folder + "/registry.reg", freePort(), sink.env);
            QCOMPARE(w.cmd("get CB_Sound"), QStringLiteral("Speaker"));
            connectWithKey(w, gauge, folder);
            QTest::qWait(700);
            gauge.send("fe 10\nfe 20\nfe 30");
            QVERIFY(w.waitFor("readings 0", QStringLiteral("FE 10 µm|FE 20 µm|FE 30 µm")));
            QTest::qWait(2000);
        }
        const QByteArray audio = sink.stop();
        qInfo("recorded %lld ms", audio.size() * 1000 / (kRate * kChannels * 2));
        const QList<Segment> tones = soundingSegments(audio, 30);
        const QString shape = describe(tones);
        qInfo("tones: %s", qPrintable(shape));
        // Tones reach the output, each played whole (the null sink's monitor
        // records only while the sink runs, so pauses are not measured).
        QVERIFY2(!tones.isEmpty(), qPrintable(shape));
        const int sounding =
            std::accumulate(tones.begin(), tones.end(), 0,
                            [](int sum, const Segment &s) { return sum + s.endMs - s.startMs; });
        QVERIFY2(sounding >= 900, qPrintable(shape));
        QVERIFY2(std::any_of(tones.begin(), tones.end(),
                             [](const Segment &s) { return s.endMs - s.startMs >= 450; }),
                 qPrintable(shape));
    }

    void chainedRecordingsReachTheSoundCard()
    {
        if (!QDir(QStringLiteral(KFZ_BINARY_DIR "/hang")).exists())
            QSKIP("the recordings were not made");
        NullSink sink;
        if (!sink.start())
            QSKIP("no PulseAudio here");
        QTemporaryDir dir;
        const QString folder = dir.path();
        QVERIFY(QFile::link(QStringLiteral(KFZ_BINARY_DIR "/hang"), folder + "/hang"));
        {
            QFile f(folder + "/Kromaglen_sound.ini");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("10\r\n");
        }
        GaugeSimulator gauge(folder);
        {
            Wizard w(folder, folder + "/registry.reg", freePort(), sink.env);
            QCOMPARE(w.cmd("get CB_Sound"), QStringLiteral("Hangkártya"));
            connectWithKey(w, gauge, folder);
            QTest::qWait(3000); // NEXT and the point name have been said
            gauge.send("fe 123");
            QVERIFY(w.waitFor("readings 0", QStringLiteral("FE 123 µm"), 8000));
            QTest::qWait(2500);
            // No fallback to the speaker.
            QCOMPARE(w.cmd("get CB_Sound"), QStringLiteral("Hangkártya"));
        }
        QFile options(folder + "/Kromaglen_sound.ini");
        QVERIFY(options.open(QIODevice::ReadOnly));
        QCOMPARE(options.readAll(), QByteArray("10\r\n"));

        // NEXT and the point's name, then "száz-huszon-három" as one stretch of
        // about the three recordings' length: they follow each other without
        // a pause, and none is cut or stretched.
        const QList<Segment> words = soundingSegments(sink.stop(), 300);
        const QString shape = describe(words);
        qInfo("sounding stretches: %s", qPrintable(shape));
        QVERIFY2(words.size() >= 2, qPrintable(shape));
        const int numberMs = words.last().endMs - words.last().startMs;
        QVERIFY2(numberMs > 1200 && numberMs < 1800, qPrintable(shape));
        QVERIFY2(words.first().endMs - words.first().startMs > 2000, qPrintable(shape));
    }
};

QTEST_GUILESS_MAIN(TestPlayback)
#include "tst_playback.moc"
