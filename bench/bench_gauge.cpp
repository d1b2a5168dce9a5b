// The gauge side of the program, measured in one run:
//  - gauge to screen: from the last byte of a reading frame written to a
//    pseudo-terminal until the reading is in the point's list, over 10,000 frames;
//  - processor time of a 10 s connect wait, against a loop that sleeps 1 ms
//    and processes events, measured in the same run.
// The Windows build runs under Wine, which raises no receive events for a serial
// port: there the bytes are handed to the link object instead, so the figure
// is the program's own share, without the serial driver.
#include "BenchStats.h"
#include "FakeStation.h"
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

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

constexpr int kFrames = 10000;
constexpr int kWaitMs = 10000;

double cpuSeconds()
{
#ifdef Q_OS_WIN
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto seconds = [](const FILETIME &t) {
        return double((quint64(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
#else
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
#endif
}

#ifdef Q_OS_WIN
// The gauge's end of the link: the link object itself.
using BenchPort = FakeGaugePort;
class GaugeEnd
{
public:
    explicit GaugeEnd(FakeGaugePort &port) : m_port(port) {}
    QString device() const { return QStringLiteral("COM6"); }
    // Arrives later, from the event loop, as received bytes do.
    void send(const char *bytes, int n)
    {
        QMetaObject::invokeMethod(
            &m_port, [this, b = QByteArray(bytes, n)] { m_port.feed(b); }, Qt::QueuedConnection);
    }

private:
    FakeGaugePort &m_port;
};
#else
// The gauge's end of the link: the far side of a pseudo-terminal.
using BenchPort = SerialGaugePort;
class GaugeEnd
{
public:
    explicit GaugeEnd(SerialGaugePort &)
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(m_master);
        unlockpt(m_master);
    }
    ~GaugeEnd() { ::close(m_master); }
    QString device() const { return QString::fromLocal8Bit(ptsname(m_master)); }
    void send(const char *bytes, int n) { (void)!::write(m_master, bytes, size_t(n)); }

private:
    int m_master = -1;
};
#endif

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const bool quick = argc > 1 && QByteArray(argv[1]) == "--quick";

    BenchPort port;
    GaugeEnd gauge(port);
    const QString device = gauge.device();
    port.setPortName(device);
    FakeStation station("[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n\"a\"=\"" +
                        device.toUtf8() + "\"\n");
    const WizardWindows wizard = showWizard(station.services(dir.path(), 0, &port));
    TF_Main &window = *wizard.main;
    QCoreApplication::processEvents();

    // The connect wait, idle for 10 s, then ended by the gauge's key: the
    // window's event loop runs meanwhile, waiting for the key.
    const int waitMs = quick ? 1000 : kWaitMs;
    double waitStart = 0;
    double waitCpu = 0;
    // Measured from inside the wait, so that opening the port does not count.
    QTimer::singleShot(100, [&] { waitStart = cpuSeconds(); });
    QTimer::singleShot(100 + waitMs, [&] {
        waitCpu = cpuSeconds() - waitStart;
        gauge.send(",ME", 3);
    });
    window.findChild<QPushButton *>(QStringLiteral("BB_ConfigNext"))->click();
    while (window.activePage() != WizardPage::Meas)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    const double pollStart = cpuSeconds();
    QElapsedTimer pollClock;
    pollClock.start();
    while (pollClock.elapsed() < waitMs) {
        QThread::msleep(1);
        QCoreApplication::processEvents();
    }
    const double pollCpu = cpuSeconds() - pollStart;
    std::printf("connect wait, %d s idle: %.3f s processor time; sleep-1-ms loop: %.3f s "
                "(%.2f %%)\n",
                waitMs / 1000, waitCpu, pollCpu, 100.0 * waitCpu / pollCpu);

    // Gauge to screen.
    auto *list = window.findChild<QListWidget *>(QStringLiteral("LB_ActMeasValue"));
    std::vector<double> us;
    QElapsedTimer clock;
    QEventLoop loop;
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, &loop, [&] {
        us.push_back(double(clock.nsecsElapsed()) / 1000.0);
        loop.quit();
    });
    for (int i = 0; i < (quick ? 500 : kFrames); ++i) {
        const char frame[5] = {',', 'F', 'E', char(i & 0xFF), char((i >> 8) & 0x7F)};
        gauge.send(frame, 4);
        QThread::usleep(200); // the gauge's bytes arrive over time
        clock.start();
        gauge.send(frame + 4, 1);
        loop.exec();
        if (i % 500 == 499) {
            list->clear(); // keep the list short, as a point's list is
            QCoreApplication::processEvents();
        }
    }
    printPercentiles("gauge to screen (last byte to list)", us);
    window.hide();
    return 0;
}
