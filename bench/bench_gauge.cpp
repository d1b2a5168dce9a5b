// The gauge side of the program, measured in one run on a real serial port (a
// pseudo-terminal on Linux; under Wine a COM port that leads to one, see
// tests/wine/with-gauge-line):
//  - the serial link alone: from the last byte of a reading frame written to
//    the gauge's end until the link object announces it, the anchor;
//  - gauge to screen: from that byte until the reading is in the point's list,
//    over 10,000 frames;
//  - processor time of a 10 s connect wait (the port open, idle), against a
//    loop that sleeps 1 ms and processes events, measured in the same run, and
//    of 20 s of measuring at an inspector's pace (two readings a second).
// Under Wine the gauge's bytes pass the test helper's TCP hop first (about
// 0.1 ms, counted in both figures).
#include "BenchStats.h"
#include "FakeStation.h"
#include "ProcessUsage.h"
#include "PtyGauge.h"
#include "SerialGaugePort.h"
#include "WizardWindows.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

namespace {

constexpr int kFrames = 10000;
constexpr int kWaitMs = 10000;
constexpr int kPaceMs = 500;
constexpr int kPacedReadings = 40;

QByteArray frame(int i)
{
    return QByteArray(",FE") + char(i & 0xFF) + char((i >> 8) & 0x7F);
}

// Sends frames split before their last byte, as they arrive over time, and
// times each from its last byte until done() quits the loop.
std::vector<double> timeFrames(PtyGauge &gauge, QEventLoop &loop, int frames,
                               const std::function<void(int)> &afterEach = {})
{
    std::vector<double> us;
    QElapsedTimer clock;
    for (int i = 0; i < frames; ++i) {
        const QByteArray bytes = frame(i);
        gauge.send(bytes.left(4));
        QThread::usleep(200);
        clock.start();
        gauge.send(bytes.right(1));
        loop.exec();
        us.push_back(double(clock.nsecsElapsed()) / 1000.0);
        if (afterEach)
            afterEach(i);
    }
    return us;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const bool quick = argc > 1 && QByteArray(argv[1]) == "--quick";
    const int frames = quick ? 500 : kFrames;

    PtyGauge gauge;
    if (!gauge.ready()) {
        std::fprintf(stderr,
                     "bench_gauge: no gauge line (under Wine: tests/wine/with-gauge-line)\n");
        return 1;
    }
    SerialGaugePort port;
    port.setPortName(gauge.portName());

    // The anchor: the link object alone announcing each frame's last byte.
    {
        port.open();
        QEventLoop loop;
        const auto connection = QObject::connect(&port, &GaugePort::rxChar, &loop, [&](int n) {
            if (port.bytesWaiting() >= 5 || n >= 5) {
                port.read(5);
                loop.quit();
            }
        });
        printPercentiles("serial link alone (last byte to rxChar)",
                         timeFrames(gauge, loop, frames));
        QObject::disconnect(connection);
        port.close();
    }

    FakeStation station("[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n\"a\"=\"" +
                        gauge.portName().toUtf8() + "\"\n");
    const WizardWindows wizard = showWizard(station.services(dir.path(), 0, &port));
    TF_Main &window = *wizard.main;
    QCoreApplication::processEvents();

    // The connect wait, idle for 10 s with the port open, then ended by the
    // gauge's key: the window's event loop runs meanwhile, waiting for the key.
    const int waitMs = quick ? 1000 : kWaitMs;
    qint64 waitStart = 0;
    qint64 waitCpu = 0;
    // Measured from inside the wait, so that opening the port does not count.
    QTimer::singleShot(100, [&] { waitStart = processorMs(); });
    QTimer::singleShot(100 + waitMs, [&] {
        waitCpu = processorMs() - waitStart;
        gauge.send(",ME");
    });
    window.findChild<QPushButton *>(QStringLiteral("BB_ConfigNext"))->click();
    while (window.activePage() != WizardPage::Meas)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    const qint64 pollStart = processorMs();
    QElapsedTimer pollClock;
    pollClock.start();
    while (pollClock.elapsed() < waitMs) {
        QThread::msleep(1);
        QCoreApplication::processEvents();
    }
    const qint64 pollCpu = processorMs() - pollStart;
    std::printf("connect wait, %d s idle with the port open: %.3f s processor time (%.2f %% of "
                "a processor); sleep-1-ms loop: %.3f s (%.2f %% of the loop's)\n",
                waitMs / 1000, waitCpu / 1000.0, 100.0 * waitCpu / waitMs, pollCpu / 1000.0,
                100.0 * waitCpu / qMax<qint64>(pollCpu, 1));

    // Gauge to screen.
    auto *list = window.findChild<QListWidget *>(QStringLiteral("LB_ActMeasValue"));
    QEventLoop loop;
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, &loop, &QEventLoop::quit);
    printPercentiles("gauge to screen (last byte to list)",
                     timeFrames(gauge, loop, frames, [list](int i) {
                         if (i % 500 == 499) {
                             list->clear(); // keep the list short, as a point's list is
                             QCoreApplication::processEvents();
                         }
                     }));

    // Measuring at an inspector's pace: two readings a second.
    const int paced = quick ? 4 : kPacedReadings;
    const qint64 pacedCpu = processorMs();
    for (int i = 0; i < paced; ++i) {
        gauge.send(frame(i));
        QTimer::singleShot(kPaceMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    std::printf("measuring, a reading every %d ms for %d s: %.2f %% of a processor\n", kPaceMs,
                paced * kPaceMs / 1000,
                100.0 * double(processorMs() - pacedCpu) / double(paced * kPaceMs));
    window.hide();
    return 0;
}
