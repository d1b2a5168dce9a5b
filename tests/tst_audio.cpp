#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "BeepWorker.h"
#include "Fakes.h"
#include "FeedbackSounds.h"
#include "Paths.h"
#include "PointCatalogue.h"
#include "SoundModule.h"
#include "SoundOptions.h"
#include "SpokenNumber.h"
#include "Timing.h"
#include "ToneBeeper.h"
#include "WavPlayer.h"

#include <QtEndian>
#include <thread>

namespace {

int pointIndex(QStringView pointId)
{
    return PointCatalogue::indexOfPointId(pointId).value_or(-1);
}

// A tone that takes its time, as a real beep does; until the test opens the
// gate, no tone ends at all.
class GatedBeeper : public Beeper
{
public:
    void Beep(int frequencyHz, int) override
    {
        // Once opened the gate stays open; a caller that waited for a beep
        // would only get on after five seconds, with the tones done.
        if (m_gate.tryAcquire(1, 5000))
            m_gate.release();
        QThread::msleep(40);
        std::lock_guard guard(m_lock);
        m_tones.push_back(frequencyHz);
    }
    void open() { m_gate.release(); }
    std::vector<int> tones()
    {
        std::lock_guard guard(m_lock);
        return m_tones;
    }

private:
    QSemaphore m_gate;
    std::mutex m_lock;
    std::vector<int> m_tones;
};

// A player whose sounds last 30 ms, so that chains and cuts can be watched.
class TimedPlayer : public SoundPlayer
{
public:
    void close() override
    {
        const bool was = m_playing;
        m_playing = false;
        m_timer.stop();
        m_open.clear();
        if (was)
            finish();
    }
    void open(const QString &path) override
    {
        close();
        if (missing.contains(path))
            throw Failure(QStringLiteral("Exception"), QStringLiteral("missing ") + path);
        m_open = path;
    }
    void play() override
    {
        m_notifyPlay = takeNotify();
        log.append(QFileInfo(m_open).baseName());
        m_playing = true;
        if (log.last() != endless)
            m_timer.start(30);
    }
    bool isPlaying() const override { return m_playing; }
    int playingMsLeft() const override { return m_playing ? 30 : 0; }

    TimedPlayer()
    {
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_playing = false;
            finish();
        });
    }

    QStringList log;
    QStringList missing;
    QString endless; // a recording that plays until it is cut

private:
    void finish()
    {
        Q_EMIT stopped();
        if (std::exchange(m_notifyPlay, false))
            Q_EMIT endEvent();
    }

    QTimer m_timer;
    QString m_open;
    bool m_playing = false;
    bool m_notifyPlay = false;
};

// Tones that an output never finishes until the test says so.
struct HeldTones
{
    std::mutex lock;
    std::vector<std::function<void()>> done;

    void finishFirst()
    {
        std::lock_guard guard(lock);
        done.front()();
    }
};

class StalledToneOutput : public ToneOutput
{
public:
    explicit StalledToneOutput(std::shared_ptr<HeldTones> held) : m_held(std::move(held)) {}
    void play(int, int, std::function<void()> done) override
    {
        std::lock_guard guard(m_held->lock);
        m_held->done.push_back(std::move(done));
    }

private:
    std::shared_ptr<HeldTones> m_held;
};

// A sound card that takes the first bytes and then nothing more.
class StalledPcmOutput : public PcmOutput
{
public:
    bool available() const override { return true; }
    bool supports(const PcmFormat &) const override { return true; }
    bool start(const PcmFormat &, int) override { return true; }
    qint64 room() const override { return m_taken < 1000 ? 1000 : 0; }
    void write(QByteArrayView pcm) override { m_taken += pcm.size(); }
    void stop() override {}
    qint64 written() const override { return m_taken; }
    qint64 played() const override { return 0; }

private:
    qint64 m_taken = 0;
};

// A 16-bit mono PCM WAV file of the given length.
QByteArray wavFile(int ms)
{
    const QByteArray pcm(8000 * 2 * ms / 1000, '\x10');
    QByteArray out = "RIFF" + QByteArray(4, 0) + "WAVEfmt ";
    const auto put32 = [&out](quint32 v) {
        out += QByteArray(4, 0);
        qToLittleEndian(v, out.data() + out.size() - 4);
    };
    const auto put16 = [&out](quint16 v) {
        out += QByteArray(2, 0);
        qToLittleEndian(v, out.data() + out.size() - 2);
    };
    put32(16);
    put16(1);
    put16(1);
    put32(8000);
    put32(16000);
    put16(2);
    put16(16);
    out += "data";
    put32(quint32(pcm.size()));
    out += pcm;
    qToLittleEndian(quint32(out.size() - 8), out.data() + 4);
    return out;
}

// Such a file of the given length in `dir`; its path, or none when it
// cannot be written.
QString clipFile(const QTemporaryDir &dir, int ms)
{
    QFile file(dir.filePath(QStringLiteral("clip.wav")));
    const QByteArray wav = wavFile(ms);
    return file.open(QIODevice::WriteOnly) && file.write(wav) == wav.size() ? file.fileName()
                                                                            : QString();
}

// Whether Qt Multimedia is in this process: on Linux, where the maps say so.
bool multimediaLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6Multimedia");
}

} // namespace

class TestAudio : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void beepsPlayInOrderWithoutWaiting()
    {
        GatedBeeper beeper;
        BeepWorker worker(beeper);
        using enum FeedbackEvent;
        for (FeedbackEvent event : {MeasurementOk, MeasurementOk, MeasurementOk, NextPoint,
                                    NoMoreMeasurements, CannotMeasure})
            worker.enqueue(event);
        // Every code was queued before the first beep could end.
        QVERIFY(beeper.tones().empty());
        beeper.open();
        QTRY_COMPARE(beeper.tones(), (std::vector<int>{600, 600, 600, 300, 800, 900}));
        QTRY_VERIFY(!worker.running());
        // The worker ended by itself; the next code starts a fresh one.
        worker.enqueue(NoMoreMeasurements);
        QTRY_COMPARE(beeper.tones().size(), size_t(7));
        worker.stop();
        worker.enqueue(MeasurementOk); // ignored once stopped
        QTest::qWait(60);
        QCOMPARE(beeper.tones().size(), size_t(7));
        QCOMPARE(BeepWorker::tone(CannotMeasure), std::make_pair(900, 700));
    }

    void optionsFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("result");
        QTest::newRow("11") << QByteArray("11\r\n") << "11";
        QTest::newRow("10 no line end") << QByteArray("10") << "10";
        QTest::newRow("1x") << QByteArray("1x\r\n") << "10";
        QTest::newRow("one char") << QByteArray("1\r\n") << "00";
        QTest::newRow("three chars") << QByteArray("100\r\n") << "00";
        QTest::newRow("empty") << QByteArray() << "00";
        QTest::newRow("second line ignored") << QByteArray("01\r\n11\r\n") << "01";
    }

    void optionsFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, result);
        QTemporaryDir dir;
        const QString path = dir.filePath(SoundOptions::kFileName);
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        SoundOptions options;
        QVERIFY(options.read(path));
        QCOMPARE(options.line(), result);
        options.write(path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), result.toLatin1() + "\r\n");
        QVERIFY(!SoundOptions().read(dir.filePath("missing.ini")));
    }

    // The point's name follows NEXT's end, and the sounds are busy until it
    // has started; a name that cannot be played is the caller's to handle.
    void nextPointThenItsName()
    {
        TimedPlayer player;
        FeedbackSounds sounds(player);
        QSignalSpy settled(&sounds, &FeedbackSounds::settled);
        QSignalSpy failed(&sounds, &FeedbackSounds::failedLater);
        sounds.play(FeedbackEvent::NextPoint, true, pointIndex(u"HOOD"), QString());
        QCOMPARE(player.log, QStringList{"NEXT"});
        QVERIFY(sounds.busy());
        QTRY_COMPARE(player.log, (QStringList{"NEXT", "HOOD"}));
        QVERIFY(!sounds.busy());
        QCOMPARE(settled.size(), 1);
        player.missing.append(Paths::local(QStringLiteral("hang\\VIN.wav")));
        sounds.play(FeedbackEvent::NextPoint, true, pointIndex(u"VIN"), QString());
        QTRY_COMPARE(failed.size(), 1);
        QCOMPARE(failed.first().first().value<FeedbackEvent>(), FeedbackEvent::NextPoint);
        QVERIFY(!sounds.busy());
        sounds.play(FeedbackEvent::MeasurementOk, false, -1, QStringLiteral("12"));
        QCOMPARE(player.log.last(), QStringLiteral("MERES_OK"));
        player.missing.append(Paths::local(QStringLiteral("hang\\NEMMERHET.wav")));
        QVERIFY_THROWS_EXCEPTION(Failure, sounds.play(FeedbackEvent::CannotMeasure, true, -1, {}));
    }

    void chainsFollowTheRules()
    {
        TimedPlayer player;
        FeedbackSounds sounds(player);
        sounds.SpeakNumber(QStringLiteral("123"));
        QTRY_COMPARE(player.log, (QStringList{"SZ_100", "SZ_20", "SZ_3"}));
        QTRY_VERIFY(!player.isPlaying());

        // A new value drops the rest of the old one; the sound playing ends first.
        player.log.clear();
        sounds.SpeakNumber(QStringLiteral("1234"));
        QCOMPARE(player.log, QStringList{"SZ_1000"});
        sounds.SpeakNumber(QStringLiteral("5"));
        QTRY_COMPARE(player.log, (QStringList{"SZ_1000", "SZ_5"}));

        // Too long a value says nothing and empties the queue.
        QTest::qWait(100);
        player.log.clear();
        sounds.SpeakNumber(QStringLiteral("12345"));
        QVERIFY(sounds.snippetQueue().isEmpty());
        QTest::qWait(50);
        QVERIFY(player.log.isEmpty());
    }

    void anEventSoundCutsAValue()
    {
        TimedPlayer player;
        player.endless = QStringLiteral("SZ_90");
        FeedbackSounds sounds(player);
        sounds.SpeakNumber(QStringLiteral("99"));
        QTimer::singleShot(0, &sounds, [&sounds] {
            sounds.play(FeedbackEvent::NextPoint, true, pointIndex(u"VIN"), QString());
        });
        QTRY_COMPARE(player.log, (QStringList{"SZ_90", "NEXT", "VIN", "SZ_9"}));
        QTest::qWait(100);
        QCOMPARE(player.log.size(), 4);
    }

    void aMissingMiddleRecordingIsReported()
    {
        TimedPlayer player;
        FeedbackSounds sounds(player);
        QSignalSpy errors(&sounds, &FeedbackSounds::playbackError);
        player.missing.append(Paths::local(QStringLiteral("hang\\SZ_20.wav")));
        sounds.SpeakNumber(QStringLiteral("123"));
        QTRY_COMPARE(errors.size(), 1);
        QCOMPARE(errors.first().first().toString(),
                 QStringLiteral("missing ") + Paths::local(QStringLiteral("hang\\SZ_20.wav")));
        QCOMPARE(sounds.snippetQueue(), QStringList{QStringLiteral("hang\\SZ_3.wav")});
        // The first recording failing is the caller's to handle (fallback to beeps).
        player.missing.append(Paths::local(QStringLiteral("hang\\SZ_7.wav")));
        QVERIFY_THROWS_EXCEPTION(Failure, sounds.SpeakNumber(QStringLiteral("7")));
    }

    void everyRecordingTheProgramAsksForExists()
    {
        const QDir hang(QStringLiteral(KFZ_HANG_DIR));
        if (!hang.exists())
            QSKIP("the recordings were not made (no espeak-ng)");
        QSet<QString> wanted;
        for (FeedbackEvent event : {FeedbackEvent::NoMoreMeasurements, FeedbackEvent::MeasurementOk,
                                    FeedbackEvent::NextPoint, FeedbackEvent::CannotMeasure})
            wanted.insert(FeedbackSounds::eventFile(event));
        for (int i = 0; i < PointCatalogue::kPointCount; ++i)
            wanted.insert(PointCatalogue::soundFile(i));
        for (int value = 0; value <= 9999; ++value) {
            for (const QString &name : SpokenNumber::recordings(QString::number(value)))
                wanted.insert(SpokenNumber::recordingPath(name));
        }
        QCOMPARE(wanted.size(), 4 + 23 + 23);
        for (const QString &path : wanted) {
            const QString file = hang.filePath(path.mid(5));
            QVERIFY2(QFileInfo(file).size() > 1000, qPrintable(file));
        }
    }

    // Nothing of the sound card is loaded until a sound needs the output:
    // neither making the players nor asking nothing of them loads it.
    void theSoundCardModuleLoadsWithTheFirstSound()
    {
        QTemporaryDir dir;
        const QString clip = clipFile(dir, 50);
        QVERIFY(!clip.isEmpty());
        SoundModule module(QStringLiteral(KFZ_SOUND_MODULE_DIR));
        WavPlayer player(module.output());
        ToneBeeper beeper(module);
        QVERIFY(!module.loaded());
#ifdef Q_OS_LINUX
        QVERIFY(!multimediaLoaded());
#endif
        bool opened = true;
        try {
            player.open(clip);
        } catch (const Failure &) {
            opened = false; // no sound output on this computer
        }
        QVERIFY2(module.loaded(), qPrintable(module.loadError()));
        QVERIFY(module.loadError().isEmpty());
#ifdef Q_OS_LINUX
        QVERIFY(multimediaLoaded());
#endif
        QCOMPARE(beeper.audible(), module.available());
        QCOMPARE(opened, module.available());
    }

    // A module that is missing, or is no library, leaves the program as it is
    // on a computer without a sound output: the player fails the way it does
    // there (not as an unplayable file, so the program turns to the
    // speaker), the beeper is not audible (so the program says so), and a
    // beep still lasts its length without hanging.
    void aModuleThatCannotLoadIsNoSoundOutput_data()
    {
        QTest::addColumn<QByteArray>("moduleContent");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not a library") << QByteArray("MZ not a library at all");
    }

    void aModuleThatCannotLoadIsNoSoundOutput()
    {
        QFETCH(QByteArray, moduleContent);
        QTemporaryDir dir;
        QFile clip(dir.filePath("clip.wav"));
        QVERIFY(clip.open(QIODevice::WriteOnly));
        clip.write(wavFile(50));
        clip.close();
        if (!moduleContent.isEmpty()) {
#ifdef Q_OS_WIN
            QFile fake(dir.filePath("KromaglenSound.dll"));
#else
            QFile fake(dir.filePath("KromaglenSound.so"));
#endif
            QVERIFY(fake.open(QIODevice::WriteOnly));
            fake.write(moduleContent);
        }
        SoundModule module(dir.path());
        WavPlayer player(module.output());
        try {
            player.open(clip.fileName());
            QFAIL("a player without the module opened a clip");
        } catch (const UnplayableSound &) {
            QFAIL("a missing module passed for an unplayable file");
        } catch (const Failure &f) {
            QCOMPARE(f.text(), QStringLiteral("No audio output device"));
        }
        QVERIFY(!module.loaded());
        QVERIFY(!module.loadError().isEmpty());
        ToneBeeper beeper(module);
        QVERIFY(!beeper.audible());
        QElapsedTimer clock;
        clock.start();
        beeper.Beep(300, 80);
        QVERIFY(clock.elapsed() >= 80);
        QVERIFY(clock.elapsed() < 80 + ToneBeeper::kMarginMs);
        // The player goes on failing the same way, and nothing is tried again.
        QVERIFY_THROWS_EXCEPTION(Failure, player.open(clip.fileName()));
    }

    // A tone output that stalls holds a beep up no longer than its length and
    // a margin, and its late end does not end the next beep.
    void aStalledToneOutputIsNotWaitedFor()
    {
        const auto held = std::make_shared<HeldTones>();
        ToneBeeper beeper(std::make_unique<StalledToneOutput>(held));
        constexpr int kLength = 200;
        constexpr int kMargin = 200;
        beeper.setMarginMs(kMargin);
        const qint64 slack = Timing::slackMs(kLength);
        QElapsedTimer clock;
        clock.start();
        beeper.Beep(300, kLength);
        const qint64 first = clock.elapsed();
        QVERIFY2(first >= kLength && first < kLength + kMargin + slack,
                 qPrintable(QStringLiteral("%1 ms, slack %2 ms").arg(first).arg(slack)));

        std::thread late([held] {
            std::this_thread::sleep_for(std::chrono::milliseconds(kLength / 4));
            held->finishFirst();
        });
        clock.restart();
        beeper.Beep(300, kLength);
        const qint64 second = clock.elapsed();
        late.join();
        QVERIFY2(second >= kLength + kMargin - 20, qPrintable(QString::number(second)));
    }

    // A sound card that stops taking samples does not hold a clip up, nor a
    // play that waits for its end, for longer than its length and a margin.
    void aStalledSoundCardIsNotWaitedFor()
    {
        QTemporaryDir dir;
        const QString clip = clipFile(dir, 200);
        QVERIFY(!clip.isEmpty());
        WavPlayer player(std::make_unique<StalledPcmOutput>());
        constexpr int kStall = 300;
        player.setStallMs(kStall);
        QSignalSpy ended(&player, &SoundPlayer::endEvent);
        QSignalSpy stopped(&player, &SoundPlayer::stopped);
        player.open(clip);
        const qint64 slack = Timing::slackMs(200 + kStall, 1000);
        QElapsedTimer clock;
        clock.start();
        player.play();
        QVERIFY(stopped.wait(200 + kStall + int(slack)));
        const qint64 waited = clock.elapsed();
        QVERIFY2(waited < 200 + kStall + slack,
                 qPrintable(QStringLiteral("%1 ms, slack %2 ms").arg(waited).arg(slack)));
        QVERIFY(!player.isPlaying());
        QCOMPARE(ended.size(), 1);
    }

    // A chain does not wait on a sound that never ends: the next value's
    // recordings follow it after its time and a margin.
    void aChainGivesUpOnASoundThatNeverEnds()
    {
        TimedPlayer player;
        FeedbackSounds sounds(player);
        constexpr int kMargin = 100;
        sounds.setWaitMarginMs(kMargin);
        player.endless = QStringLiteral("NEMMERHET");
        const qint64 slack = Timing::slackMs(30 + kMargin);
        sounds.play(FeedbackEvent::CannotMeasure, false, -1, QString());
        QElapsedTimer clock;
        clock.start();
        sounds.SpeakNumber(QStringLiteral("7"));
        QVERIFY(sounds.busy());
        QTRY_VERIFY_WITH_TIMEOUT(!sounds.busy(), int(30 + kMargin + slack));
        const qint64 waited = clock.elapsed();
        QVERIFY2(waited < 30 + kMargin + slack,
                 qPrintable(QStringLiteral("%1 ms, slack %2 ms").arg(waited).arg(slack)));
        QCOMPARE(player.log, (QStringList{"NEMMERHET", "SZ_7"}));
    }
};

QTEST_GUILESS_MAIN(TestAudio)
#include "tst_audio.moc"
