// The window thread's cost of a reading from the gauge, and a burst at the
// gauge's line rate.
//
// 1. Each reading handed to the real window (offscreen or on X): the frame
//    scanned, the reading recorded, shown (its panels painted), its beep
//    queued and the inspection's journal entry scheduled. Against the
//    minimal work in the same run: the frame scanned and the reading appended
//    to a reading log. Measured on a point with few readings and on one with
//    thousands (a burst without a key press).
// 2. A burst over a real pseudo-terminal: 190 frames a second (9600 baud, five
//    bytes a frame) for a minute (--seconds N); every reading must be
//    recorded and in the journal entry. The window thread's processor time
//    per reading and how far the window fell behind are printed.
//
//   bench_readings [--seconds N]
#include "ArchiveJournal.h"
#include "ArchiveRecorder.h"
#include "BenchStats.h"
#include "FakeStation.h"
#include "InspectionJson.h"
#include "PtyGauge.h"
#include "SerialGaugePort.h"
#include "WizardWindows.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <cstring>
#include <ctime>
#include <thread>

namespace {

QByteArray frame(int value)
{
    return QByteArray(",FE") + char(value & 0xFF) + char((value >> 8) & 0xFF);
}

double threadCpuUs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

void until(const std::function<bool()> &done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

// Beeps as long as a speaker does, so the beep worker stays at work while
// readings come faster than their beeps.
class SpeakerBeeper : public Beeper
{
public:
    void Beep(int, int durationMs) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(durationMs));
    }
};

// The wizard on its measuring page, its gauge link `port`.
struct Measuring
{
    Measuring(GaugePort *gauge, const std::function<void(Measuring &)> &pressKey,
              const QString &folder)
        : station("[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n\"a\"=\"" +
                  QFile::encodeName(gauge ? gauge->portName() : QStringLiteral("COM6")) + "\"\n"),
          recorder(location(folder), folder + u'/' + ArchiveJournal::kFolder)
    {
        station.archive = &recorder;
        TF_MainServices services = station.services(folder, 0, gauge);
        services.beeper = &beeper;
        wizard = showWizard(services);
        QCoreApplication::processEvents();
        wizard.main->findChild<QPushButton *>(QStringLiteral("BB_ConfigNext"))->click();
        until([&] { return wizard.main->flow().stage() == WizardFlow::Stage::Connecting; });
        pressKey(*this);
        until([&] { return wizard.main->activePage() == WizardPage::Meas; });
    }
    static ArchiveLocation location(const QString &folder)
    {
        ArchiveLocation l;
        l.file = folder + QStringLiteral("/archive.sqlite");
        return l;
    }
    int recorded() const { return wizard.main->readingLog().count(0); }

    FakeStation station;
    SpeakerBeeper beeper;
    ArchiveRecorder recorder;
    WizardWindows wizard;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    int seconds = 60;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atoi(argv[i + 1]);
    }
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    // 1. Reading by reading, through the fake link: the window's own share.
    {
        const auto m = std::make_unique<Measuring>(
            nullptr, [](Measuring &self) { self.station.port.feed(",ME"); }, dir.path());
        const auto measure = [&](int from, int count) {
            std::vector<double> us;
            for (int value = from; value < from + count; ++value) {
                QElapsedTimer clock;
                clock.start();
                m->station.port.feed(frame(value));
                us.push_back(double(clock.nsecsElapsed()) / 1000.0);
                // The repaints and the journal's timer get their turn, as between frames.
                QCoreApplication::processEvents();
            }
            return us;
        };
        // The anchor: the frame scanned and the reading appended, nothing else.
        std::vector<double> anchor;
        {
            FrameScanner scanner;
            ReadingLog log;
            for (int value = 0; value < 2000; ++value) {
                QElapsedTimer clock;
                clock.start();
                scanner.append(frame(value));
                while (const auto f = scanner.next())
                    log.append(0, {f->substrate, f->value, ReadingSource::Gauge,
                                   QDateTime::currentDateTimeUtc()});
                anchor.push_back(double(clock.nsecsElapsed()) / 1000.0);
            }
        }
        printPercentiles("anchor: frame scanned, reading appended", anchor);
        printPercentiles("a reading, few on its point", measure(1, 200));
        for (int value = 201; value < 11000; ++value)
            m->station.port.feed(frame(value)); // a burst's worth on one point
        QCoreApplication::processEvents();
        printPercentiles("a reading, 11000 on its point", measure(11000, 200));
    }

    // 2. A burst at the gauge's line rate over a pseudo-terminal.
    QTemporaryDir burstDir;
    QDir::setCurrent(burstDir.path());
    PtyGauge gauge(burstDir.filePath(QStringLiteral("gauge")));
    SerialGaugePort port;
    port.setPortName(gauge.portName());
    Measuring m(
        &port, [&gauge](Measuring &) { gauge.send(",ME"); }, burstDir.path());
    constexpr int kRate = 190; // frames a second at 9600 baud
    const int total = kRate * seconds;
    std::atomic<int> sent{0};
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = threadCpuUs();
    std::thread sender([&] {
        for (int n = 1; n <= total; ++n) {
            // Paced as the line delivers them, not faster.
            const qint64 due = qint64(n) * 1000000 / kRate;
            while (clock.nsecsElapsed() / 1000 < due)
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            gauge.send(frame(n % 65536));
            sent = n;
        }
    });
    qint64 behind = 0; // the most frames sent and not yet recorded
    {
        // The window's own event loop, looked at every 20 ms.
        QEventLoop loop;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, &loop, [&] {
            behind = std::max<qint64>(behind, sent - m.recorded());
            if (m.recorded() >= total || clock.elapsed() > qint64(seconds) * 1000 + 60000)
                loop.quit();
        });
        look.start(20);
        loop.exec();
    }
    const double cpu = threadCpuUs() - cpuBefore;
    sender.join();
    const qint64 lastRecorded = clock.elapsed();
    // Every reading in the journal entry within its bound.
    int journaled = 0;
    while (clock.elapsed() < lastRecorded + 2000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        const QDir journal(burstDir.filePath(ArchiveJournal::kFolder));
        const QStringList open = journal.entryList({QStringLiteral("*.open.json")});
        QFile file(journal.filePath(open.value(0)));
        if (!open.isEmpty() && file.open(QIODevice::ReadOnly)) {
            const std::optional<Inspection> kept = InspectionJson::decodeOpen(file.readAll());
            journaled = kept ? int(kept->readings.size()) : 0;
        }
        if (journaled == total)
            break;
    }
    std::printf("burst: %d frames in %d s at %d a second; recorded %d, journaled %d %lld ms after "
                "the last (%s)\n",
                total, seconds, kRate, m.recorded(), journaled, clock.elapsed() - lastRecorded,
                m.recorded() == total && journaled == total ? "none lost" : "LOST");
    std::printf("burst: window thread %.1f us of processor time a reading; at most %lld frames "
                "waiting\n",
                cpu / total, behind);
    return m.recorded() == total && journaled == total ? 0 : 1;
}
