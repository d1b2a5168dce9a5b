// The gauge link on a real serial device: alone, and under the wizard's
// window. On Linux the gauge is the far end of a pseudo-terminal; under Wine
// a COM port that scripts/test-windows maps to one (PtyGauge).
#include <QComboBox>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QTest>
#include <thread>

#include "Failure.h"
#include "FileRegistry.h"
#include "Messages.h"
#include "PortList.h"
#include "ProcessUsage.h"
#include "PtyGauge.h"
#include "SerialGaugePort.h"
#include "WizardFixture.h"

namespace {

QByteArray reading(int value)
{
    return QByteArray(",FE") + char(value & 0xFF) + char(value >> 8);
}

// What the process used of the processor while the test waits ms.
qint64 processorMsDuring(int ms)
{
    const qint64 before = processorMs();
    QTest::qWait(ms);
    return processorMs() - before;
}

// The wizard on a real serial port: a gauge reached through a link that the
// registry lists, so that a repair can find a new gauge under the old name.
struct PtyWizard
{
    PtyWizard()
        : gauge(std::make_unique<PtyGauge>(links.filePath("gauge"))),
          fixture({},
                  "Windows Registry Editor Version 5.00\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
                  "\"g\"=\"" +
                      QFile::encodeName(gauge->portName()) + "\"\r\n",
                  0, {}, &port)
    {
        auto *ports = fixture.w<QComboBox>("ComComboBox1");
        ports->setCurrentIndex(ports->findText(gauge->portName()));
    }

    // Connects and leaves the wizard on the measuring page.
    bool connect()
    {
        fixture.duringConnectWait([this] { gauge->send(",ME"); });
        fixture.click("BB_ConfigNext");
        return fixture.window->activePage() == WizardPage::Meas;
    }

    QTemporaryDir links;
    std::unique_ptr<PtyGauge> gauge;
    SerialGaugePort port;
    WizardFixture fixture;
};

} // namespace

class TestSerial : public QObject
{
    Q_OBJECT

private Q_SLOTS:
#ifndef Q_OS_WIN
    void openFailuresCarryTheSystemError()
    {
        SerialGaugePort port;
        port.setPortName(QStringLiteral("/dev/kfz-no-such-port"));
        try {
            port.open();
            QFAIL("opened a missing device");
        } catch (const Failure &f) {
            QCOMPARE(f.reason(),
                     QStringLiteral("EComPort: Unable to open com port (win error code: 2)"));
        }
        QVERIFY(!port.connected());
        port.setPortName(QString());
        QVERIFY_THROWS_EXCEPTION(Failure, port.open());
        QCOMPARE(SerialGaugePort::devicePath("rfcomm0"), QStringLiteral("/dev/rfcomm0"));
        QCOMPARE(SerialGaugePort::devicePath("/dev/pts/7"), QStringLiteral("/dev/pts/7"));
    }
#endif

    void receivesAndPurges()
    {
        PtyGauge gauge;
        REQUIRE_GAUGE(gauge);
        SerialGaugePort port;
        port.setPortName(gauge.device());
        QVERIFY(gauge.send("stale bytes before the connect"));
        port.open(); // purges what came before
        QVERIFY(port.connected());
        QSignalSpy rx(&port, &GaugePort::rxChar);
        QVERIFY(gauge.send(QByteArray(",FE\x7B\x00", 5)));
        QTRY_VERIFY(!rx.isEmpty());
        QTRY_COMPARE(rx.last().at(0).toInt(), 5);
        QCOMPARE(port.read(5), QByteArray(",FE\x7B\x00", 5));
        QCOMPARE(port.read(5), QByteArray());

        QVERIFY(gauge.send(",ME"));
        QTRY_COMPARE(rx.size(), 2);
        port.purge();
        QCOMPARE(port.read(10), QByteArray());
        port.close();
        QVERIFY(!port.connected());
        port.close(); // closing twice is harmless
    }

    // However the device's end is reported (a hang-up comes as a read or a
    // resource error; a vanished Bluetooth device may bring a code Qt does
    // not know, as "broken pipe" under Wine did), the link is lost once,
    // idles, and a reopen, also on a new gauge, brings it back.
    void anEndedDeviceLosesTheLinkUntilReopened_data()
    {
        QTest::addColumn<int>("error"); // none: the gauge hangs up
        QTest::newRow("hang-up") << int(QSerialPort::NoError);
        QTest::newRow("resource error") << int(QSerialPort::ResourceError);
        QTest::newRow("unknown error") << int(QSerialPort::UnknownError);
    }
    void anEndedDeviceLosesTheLinkUntilReopened()
    {
        QFETCH(int, error);
        QTemporaryDir links;
        auto gauge = std::make_unique<PtyGauge>(links.filePath("gauge"));
        REQUIRE_GAUGE(*gauge);
        SerialGaugePort port;
        port.setPortName(gauge->portName());
        port.open();
        QSignalSpy rx(&port, &GaugePort::rxChar);
        QSignalSpy lost(&port, &GaugePort::linkLost);
        if (error == QSerialPort::NoError)
            gauge->hangUp();
        else
            Q_EMIT port.findChild<QSerialPort *>()->errorOccurred(
                QSerialPort::SerialPortError(error));
        QTRY_COMPARE(lost.size(), 1);
        // The ended device no longer wakes the program: it idles.
        const qint64 used = processorMsDuring(600);
        QVERIFY2(used < 100, qPrintable(QStringLiteral("%1 ms of processor in 0.6 s").arg(used)));
        gauge->send(",ME"); // a gauge still there is not heard
        QTest::qWait(100);
        QVERIFY(rx.isEmpty());
        QCOMPARE(lost.size(), 1);
        QVERIFY(port.connected()); // still counts as open until repaired
        QVERIFY(port.bytesWaiting() == 0);
        port.close();

        gauge = std::make_unique<PtyGauge>(links.filePath("gauge"));
        port.open();
        QVERIFY(gauge->send(",ME"));
        QTRY_COMPARE(rx.size(), 1);
        QCOMPARE(port.read(3), QByteArray(",ME"));
    }

    // Every reading of a burst is recorded, also those that arrive while one
    // is being shown.
    void aBurstOfReadingsIsRecordedWhole()
    {
        PtyWizard w;
        REQUIRE_GAUGE(*w.gauge);
        QVERIFY(w.connect());
        constexpr int kReadings = 300;
        std::thread sender([&w] {
            for (int i = 0; i < kReadings; i += 10) {
                QByteArray chunk;
                for (int k = i; k < i + 10; ++k)
                    chunk += reading(k);
                w.gauge->send(chunk);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        QTRY_COMPARE_WITH_TIMEOUT(w.fixture.window->readingLog().count(0), kReadings, 10000);
        sender.join();
        const QStringList &lines = w.fixture.window->readingLog().lines(0);
        for (int i = 0; i < kReadings; ++i)
            QCOMPARE(lines.at(i), QStringLiteral("FE %1 µm").arg(i));
    }

    // A gauge that hangs up is shown at once, with the "cannot measure"
    // sound, costs no processor meanwhile, and "Kom.jav." brings it back.
    void aDroppedLinkIsShownUntilRepaired()
    {
        PtyWizard w;
        REQUIRE_GAUGE(*w.gauge);
        QVERIFY(w.connect());
        auto *notice = w.fixture.w<QLabel>("L_LinkLost");
        QVERIFY(!notice->isVisible());
        QVERIFY(w.gauge->send(reading(5)));
        QTRY_COMPARE(w.fixture.window->readingLog().count(0), 1);

        w.gauge->hangUp();
        QTRY_VERIFY(notice->isVisible());
        QVERIFY(notice->text().contains(QStringLiteral("\"Kom.jav.\"")));
        QTRY_VERIFY(std::ranges::count(w.fixture.beeper.tones(), 900) == 1);
        QVERIFY2(processorMsDuring(600) < 100, "the hung-up link spins");

        w.gauge = std::make_unique<PtyGauge>(w.gauge->portName());
        w.fixture.click("BB_Reconnect");
        QVERIFY(!notice->isVisible());
        QVERIFY(w.gauge->send(reading(7)));
        QTRY_COMPARE(w.fixture.window->readingLog().count(0), 2);
        QVERIFY(!w.fixture.shownMessage().startsWith(Messages::kConnectFailure));
    }

#ifndef Q_OS_WIN
    // The system's ports read from sysfs are the ones Qt's own listing
    // finds through udev. (On Windows the registry lists them.)
    void systemPortsAreThoseQtLists()
    {
        QStringList qt;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            qt.append(info.portName());
        QStringList ours = PortList::systemPorts();
        ours.removeDuplicates();
        qt.sort();
        ours.sort();
        QCOMPARE(ours, qt);
    }
#endif

    void portListMergesTheRegistry()
    {
        const FileRegistry registry = FileRegistry::fromBytes(
            "Windows Registry Editor Version 5.00\r\n"
            "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
            "\"a\"=\"COM7\"\r\n\"b\"=\"com10\"\r\n\"c\"=\"COM7\"\r\n\"d\"=dword:00000001\r\n");
        const QStringList ports = PortList::ports(registry);
        QVERIFY(ports.indexOf("com10") >= 0);
        QVERIFY(ports.indexOf("com10") < ports.indexOf("COM7"));
        QCOMPARE(ports.count("COM7"), 1);
        QCOMPARE(PortList::find(ports, "Com7"), ports.indexOf("COM7"));
        for (int i = 1; i < ports.size(); ++i)
            QVERIFY(ports.at(i - 1).compare(ports.at(i), Qt::CaseInsensitive) <= 0);
    }
};

QTEST_MAIN(TestSerial)
#include "tst_serial.moc"
