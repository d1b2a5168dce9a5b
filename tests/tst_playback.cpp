// The real playback path: a PulseAudio server with a null sink stands in for
// the sound card; its monitor is recorded while the program confirms the
// gauge's key and readings, by the speaker's tones and by spoken values.
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <functional>
#include <sys/resource.h>

#include "PointCatalogue.h"
#include "ProcessDrivers.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kFrameMs = 10;

struct Segment
{
    int startMs;
    int endMs;
    int hz = 0;

    int length() const { return endMs - startMs; }
};

// Calls frame(ms, peak, pitch) for each 10 ms of a recording (16-bit stereo);
// the pitch in Hz is counted from the left channel's zero crossings.
template <typename F> void forEachFrame(const QByteArray &raw, F frame)
{
    const auto *samples = reinterpret_cast<const qint16 *>(raw.constData());
    const qsizetype count = raw.size() / qsizetype(sizeof(qint16));
    const int perFrame = kRate * kChannels * kFrameMs / 1000;
    for (qsizetype f = 0; (f + 1) * perFrame <= count; ++f) {
        const qint16 *s = samples + f * perFrame;
        int peak = 0;
        int crossings = 0;
        for (int i = 0; i < perFrame; i += kChannels) {
            peak = std::max(peak, std::abs(int(s[i])));
            if (i > 0 && (s[i - kChannels] < 0) != (s[i] < 0))
                ++crossings;
        }
        frame(int(f) * kFrameMs, peak, crossings * 1000 / kFrameMs / 2);
    }
}

constexpr int kSilence = 300; // the loudest sample of a silent frame

// Sounding stretches, cut at silences of at least minGapMs.
QList<Segment> soundingSegments(const QByteArray &raw, int minGapMs)
{
    QList<Segment> segments;
    int silentFor = 0;
    forEachFrame(raw, [&](int ms, int peak, int) {
        if (peak <= kSilence) {
            silentFor += kFrameMs;
        } else if (segments.isEmpty() || silentFor >= minGapMs) {
            segments.append({ms, ms + kFrameMs});
            silentFor = 0;
        } else {
            segments.last().endMs = ms + kFrameMs;
            silentFor = 0;
        }
    });
    return segments;
}

// Runs of one of the speaker's pitches; a frame that straddles two tones
// makes a run shorter than 30 ms, which is left out.
QList<Segment> toneRuns(const QByteArray &raw)
{
    static const int kPitches[] = {300, 600, 800, 900};
    QList<Segment> runs;
    forEachFrame(raw, [&](int ms, int peak, int pitch) {
        const int hz = peak <= kSilence
                           ? 0
                           : *std::min_element(std::begin(kPitches), std::end(kPitches),
                                               [pitch](int a, int b) {
                                                   return std::abs(a - pitch) < std::abs(b - pitch);
                                               });
        if (!runs.isEmpty() && runs.last().hz == hz && runs.last().endMs == ms)
            runs.last().endMs = ms + kFrameMs;
        else
            runs.append({ms, ms + kFrameMs, hz});
    });
    runs.removeIf([](const Segment &r) { return r.hz == 0 || r.length() < 30; });
    return runs;
}

int recordedMs(const QByteArray &raw)
{
    return int(raw.size() * 1000 / (kRate * kChannels * 2));
}

QString describe(const QList<Segment> &segments)
{
    QString text;
    for (const Segment &s : segments)
        text += s.hz ? QStringLiteral("[%1..%2 %3 Hz] ").arg(s.startMs).arg(s.endMs).arg(s.hz)
                     : QStringLiteral("[%1..%2] ").arg(s.startMs).arg(s.endMs);
    return text;
}

// Picks the simulator's port, presses "Tovább" and sends the gauge's key.
// Makes `folder` a working folder with the recordings and the sound card chosen.
bool withSoundCardChosen(const QString &folder)
{
    if (!QFile::link(QStringLiteral(KFZ_BINARY_DIR "/hang"), folder + "/hang"))
        return false;
    QFile f(folder + "/Kromaglen_sound.ini");
    return f.open(QIODevice::WriteOnly) && f.write("10\r\n") == 4;
}

void connectWithKey(Wizard &w, GaugeSimulator &gauge, const QString &folder)
{
    w.cmd("choose ComComboBox1 " + folder + "/gauge");
    pressKeyDuringConnectWait(w, gauge);
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
        // Straight into a file: the recording never waits for this process.
        recorder.setStandardOutputFile(runtime.filePath("monitor.raw"));
        // A short latency: what has been played is in the file a moment later.
        recorder.start(parec, {"--device=kfz.monitor", "--raw", "--format=s16le", "--rate=44100",
                               "--channels=2", "--latency-msec=20"});
        return recorder.waitForStarted();
    }
    ~NullSink()
    {
        recorder.terminate();
        recorder.waitForFinished(2000);
        server.terminate();
        server.waitForFinished(3000);
    }
    // What has been recorded so far.
    QByteArray audio() const
    {
        QFile f(runtime.filePath("monitor.raw"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Waits until the recording so far satisfies done, at most ms; the
    // recording that was there at the end.
    QByteArray waitFor(const std::function<bool(const QByteArray &)> &done, int ms = 15000) const
    {
        QElapsedTimer clock;
        clock.start();
        QByteArray raw = audio();
        while (!done(raw) && clock.elapsed() < ms) {
            QTest::qWait(50);
            raw = audio();
        }
        return raw;
    }
    QByteArray stop()
    {
        recorder.terminate();
        recorder.waitForFinished(2000);
        return audio();
    }

    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess server;
    QProcess recorder;
};

// A WAV file of a 1000 Hz tone of 300 ms and 200 ms of silence after it, in
// the given coding (1 integer, 3 floating point, 2 compressed), optionally
// behind the extensible header.
QByteArray toneWav(quint16 coding, quint16 bits, quint16 channels, quint32 rate,
                   bool extensibleHeader = false)
{
    const auto le = [](auto v) {
        const auto x = qToLittleEndian(v);
        return QByteArray(reinterpret_cast<const char *>(&x), sizeof x);
    };
    QByteArray data;
    const int frames = int(rate) / 2;
    for (int i = 0; i < frames; ++i) {
        const double v = i < frames * 3 / 5 ? 0.5 * std::sin(2 * M_PI * 1000 * i / rate) : 0.0;
        for (int c = 0; c < channels; ++c) {
            if (coding == 3)
                data += le(float(v));
            else if (bits == 24)
                data += le(qint32(v * 8388607)).left(3);
            else
                data += le(qint16(v * 32767));
        }
    }
    const quint16 frame = quint16(channels * bits / 8);
    QByteArray fmt = le(extensibleHeader ? quint16(0xFFFE) : coding) + le(channels) + le(rate) +
                     le(quint32(rate * frame)) + le(frame) + le(bits);
    if (extensibleHeader)
        fmt += le(quint16(22)) + le(bits) + le(quint32(0)) + le(coding) +
               QByteArray::fromHex("000000001000800000aa00389b71");
    const QByteArray chunks =
        "fmt " + le(quint32(fmt.size())) + fmt + "data" + le(quint32(data.size())) + data;
    return "RIFF" + le(quint32(4 + chunks.size())) + "WAVE" + chunks;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(content), content.size());
}

} // namespace

class TestPlayback : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Sound is played against the clock. On a desktop the sound server runs
    // before other work; here the suite's processes (the server, the
    // recorder, the program) go before the rest of a loaded machine where
    // the system allows it (as root), so that a gap in the recording is the
    // program's and not a build's beside it. They inherit this niceness.
    void initTestCase() { setpriority(PRIO_PROCESS, 0, -10); }

    void withTheSpeakerEveryEventIsATone()
    {
        NullSink sink;
        if (!sink.start())
            QSKIP("no PulseAudio here");
        QTemporaryDir dir;
        const QString folder = dir.path();
        GaugeSimulator gauge(folder);
        QVERIFY(gauge.started());
        // The key's 300 Hz and three readings' 600 Hz, each for 500 ms, one
        // after the other. (The null sink's monitor records only while a
        // stream plays, so the pauses between tones are not measured.)
        const auto beeps = [](const QList<Segment> &runs) {
            QList<int> pitches;
            for (const Segment &run : runs) {
                for (int n = std::max(1, (run.length() + 250) / 500); n > 0; --n)
                    pitches.append(run.hz);
            }
            return pitches;
        };
        const QList<int> wanted{300, 600, 600, 600};
        const auto allSounded = [&](const QByteArray &raw) {
            const QList<Segment> runs = toneRuns(raw);
            // and the last has ended: silence follows it.
            return beeps(runs).size() >= 4 && recordedMs(raw) >= runs.last().endMs + 100;
        };
        QList<Segment> runs;
        {
            Wizard w(folder, folder + "/registry.reg", freePort(), sink.env);
            QCOMPARE(w.cmd("get CB_Sound"), QStringLiteral("Speaker"));
            connectWithKey(w, gauge, folder);
            // One at a time: what this checks is the tones, not a burst.
            QString recorded;
            for (const QString value : {"10", "20", "30"}) {
                gauge.send("fe " + value.toLatin1());
                recorded += (recorded.isEmpty() ? "FE " : "|FE ") + value + " µm";
                QVERIFY(w.waitFor("readings 0", recorded));
            }
            runs = toneRuns(sink.waitFor(allSounded));
        }
        const QString shape = describe(runs);
        qInfo("tones: %s", qPrintable(shape));
        QCOMPARE(beeps(runs), wanted);
        // Every tone whole: a run of n tones of one pitch lasts n times 500 ms.
        for (const Segment &run : runs) {
            const int n = std::max(1, (run.length() + 250) / 500);
            QVERIFY2(std::abs(run.length() - n * 500) <= 50, qPrintable(shape));
        }
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
        QVERIFY(withSoundCardChosen(folder));
        GaugeSimulator gauge(folder);
        QVERIFY(gauge.started());
        {
            Wizard w(folder, folder + "/registry.reg", freePort(), sink.env);
            QCOMPARE(w.cmd("get CB_Sound"), QStringLiteral("Hangkártya"));
            connectWithKey(w, gauge, folder);
            // NEXT and the point's name have been said: a pause follows them.
            const auto stretchesSaid = [](int count) {
                return [count](const QByteArray &raw) {
                    const QList<Segment> words = soundingSegments(raw, 300);
                    return words.size() >= count && recordedMs(raw) >= words.last().endMs + 300;
                };
            };
            sink.waitFor(stretchesSaid(1));
            gauge.send("fe 123");
            QVERIFY(w.waitFor("readings 0", QStringLiteral("FE 123 µm"), 8000));
            sink.waitFor(stretchesSaid(2));
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

    // Without any sound server the program cannot even beep: it says so on
    // the measuring page, and the work goes on.
    void withoutASoundServerItSaysSoOnce()
    {
        QTemporaryDir dir;
        const QString folder = dir.path();
        QTemporaryDir runtime; // no server listens in it
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("PULSE_SERVER", "unix:" + runtime.filePath("none"));
        GaugeSimulator gauge(folder);
        Wizard w(folder, folder + "/registry.reg", freePort(), env);
        connectWithKey(w, gauge, folder);
        QVERIFY(w.waitFor("visible L_NoSound", "1"));
        QCOMPARE(w.cmd("get L_NoSound"),
                 QStringLiteral("A program nem tud hangot adni: a számítógépen nincs hangkimenet! "
                                "A mérés hangjelzések nélkül folytatható."));
        gauge.send("fe 5");
        QVERIFY(w.waitFor("readings 0", QStringLiteral("FE 5 µm"), 8000));
    }

    // The sound card module missing beside the program, with a sound server
    // that would play: the program goes on as on a computer without a sound
    // output: the speaker is chosen, the message is said, the work goes on.
    void withoutTheSoundCardModuleItSaysSoOnce()
    {
        NullSink sink;
        if (!sink.start())
            QSKIP("no PulseAudio here");
        QTemporaryDir dir;
        const QString folder = dir.path();
        QVERIFY(withSoundCardChosen(folder));
        // The program alone in a folder of its own.
        QVERIFY(QDir(folder).mkdir("bin"));
        const QString alone = folder + "/bin/KromaglenForZov_hooked";
        QVERIFY(QFile::copy(program("app/KromaglenForZov_hooked"), alone));
        GaugeSimulator gauge(folder);
        QVERIFY(gauge.started());
        Wizard w(folder, folder + "/registry.reg", freePort(), sink.env, alone);
        QCOMPARE(w.cmd("get CB_Sound"), QStringLiteral("Hangkártya"));
        connectWithKey(w, gauge, folder);
        QVERIFY(w.waitFor("visible L_NoSound", "1"));
        QCOMPARE(w.cmd("get L_NoSound"),
                 QStringLiteral("A program nem tud hangot adni: a számítógépen nincs hangkimenet! "
                                "A mérés hangjelzések nélkül folytatható."));
        QCOMPARE(w.cmd("get CB_Sound"), QStringLiteral("Speaker"));
        gauge.send("fe 5");
        QVERIFY(w.waitFor("readings 0", QStringLiteral("FE 5 µm"), 8000));
        QVERIFY(soundingSegments(sink.stop(), 300).isEmpty());
    }

    // A station's own recordings in the codings recorders write (24-bit,
    // floating point, the extensible header) are heard, and the sound card
    // stays chosen. A compressed one is beeped and named once, and still
    // leaves the choice and the options file as they were.
    void recordingsInEveryCommonCodingPlay()
    {
        NullSink sink;
        if (!sink.start())
            QSKIP("no PulseAudio here");
        QTemporaryDir dir;
        const QString folder = dir.path();
        QVERIFY(QDir(folder).mkdir("hang"));
        writeFile(folder + "/hang/NEXT.wav", toneWav(1, 24, 1, 44100));
        for (int i = 0; i < PointCatalogue::kPointCount; ++i)
            writeFile(folder + "/hang/" + PointCatalogue::pointId(i) + ".wav",
                      toneWav(1, 16, 2, 22050, true));
        writeFile(folder + "/hang/MERES_OK.wav", toneWav(3, 32, 1, 48000));
        writeFile(folder + "/Kromaglen_sound.ini", "11\r\n");
        GaugeSimulator gauge(folder);
        const auto stretches = [](int count) {
            return [count](const QByteArray &raw) {
                const QList<Segment> words = soundingSegments(raw, 100);
                return words.size() >= count && recordedMs(raw) >= words.last().endMs + 150;
            };
        };
        QList<Segment> words;
        {
            Wizard w(folder, folder + "/registry.reg", freePort(), sink.env);
            QCOMPARE(w.cmd("get CB_Sound"), QStringLiteral("Hangkártya"));
            connectWithKey(w, gauge, folder);
            sink.waitFor(stretches(2));
            gauge.send("fe 123");
            QVERIFY(w.waitFor("readings 0", QStringLiteral("FE 123 µm"), 8000));
            words = soundingSegments(sink.waitFor(stretches(3)), 100);
            QCOMPARE(w.cmd("get CB_Sound"), QStringLiteral("Hangkártya"));
            QCOMPARE(w.cmd("info"), QString());

            writeFile(folder + "/hang/MERES_OK.wav", toneWav(2, 4, 1, 8000));
            gauge.send("fe 124");
            QVERIFY(w.waitFor("readings 0", QStringLiteral("FE 123 µm|FE 124 µm"), 8000));
            QVERIFY(
                w.waitFor("info", QStringLiteral("A(z) hang/MERES_OK.wav hangfájlt a program nem "
                                                 "tudja lejátszani, helyette sípol!")));
            QCOMPARE(w.cmd("get CB_Sound"), QStringLiteral("Hangkártya"));
            const auto beeped = [](const QByteArray &raw) {
                const QList<Segment> runs = toneRuns(raw);
                return std::any_of(runs.begin(), runs.end(),
                                   [](const Segment &r) { return r.hz == 600; });
            };
            QVERIFY(beeped(sink.waitFor(beeped)));
        }
        QFile options(folder + "/Kromaglen_sound.ini");
        QVERIFY(options.open(QIODevice::ReadOnly));
        QCOMPARE(options.readAll(), QByteArray("11\r\n"));
        // NEXT, the point's name and the confirmation, each whole.
        const QString shape = describe(words);
        qInfo("sounding stretches: %s", qPrintable(shape));
        QCOMPARE(words.size(), 3);
        for (const Segment &word : words)
            QVERIFY2(std::abs(word.length() - 300) <= 60, qPrintable(shape));
    }
};

QTEST_GUILESS_MAIN(TestPlayback)
#include "tst_playback.moc"
