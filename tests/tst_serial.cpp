#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QTest>

#include "Failure.h"
#include "FileRegistry.h"
#include "PortList.h"
#include "ProcessUsage.h"
#include "PtyGauge.h"
#include "SerialGaugePort.h"

class TestSerial : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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

    void receivesAndPurges()
    {
        PtyGauge gauge;
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

    void hangUpStopsNotificationsUntilReopened()
    {
        auto gauge = std::make_unique<PtyGauge>();
        SerialGaugePort port;
        port.setPortName(gauge->device());
        port.open();
        QSignalSpy rx(&port, &GaugePort::rxChar);
        QSignalSpy lost(&port, &GaugePort::linkLost);
        gauge->hangUp();
        QTRY_COMPARE(lost.size(), 1);
        // The ended device no longer wakes the program: it idles.
        const qint64 before = processorMs();
        QTest::qWait(600);
        const qint64 used = processorMs() - before;
        QVERIFY2(used < 100, qPrintable(QStringLiteral("%1 ms of processor in 0.6 s").arg(used)));
        QVERIFY(rx.isEmpty());
        QCOMPARE(lost.size(), 1);
        QVERIFY(port.connected()); // still counts as open until repaired
        QVERIFY(port.bytesWaiting() == 0);
        port.close();

        gauge = std::make_unique<PtyGauge>();
        port.setPortName(gauge->device());
        port.open();
        QVERIFY(gauge->send(",ME"));
        QTRY_COMPARE(rx.size(), 1);
    }

    // The system's ports read from sysfs are the ones Qt's own listing
    // finds through udev.
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

QTEST_GUILESS_MAIN(TestSerial)
#include "tst_serial.moc"
