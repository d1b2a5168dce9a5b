// The serial port as the system sees it: opening, the line settings the gauge
// needs, the failure texts with the error number of the failing call, and the
// port list. On Linux against pseudo-terminals and missing or busy devices; on
// Windows (under Wine) against a COM port that scripts/test-windows links to a
// pseudo-terminal and lists in the registry (PtyGauge).
#include <QComboBox>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPort>
#include <QTest>

#include "Failure.h"
#include "FileRegistry.h"
#include "PortList.h"
#include "PtyGauge.h"
#include "SerialGaugePort.h"
#include "SerialSettings.h"
#include "SystemError.h"
#include "WizardFixture.h"

#ifdef Q_OS_WIN
#include "WinRegistry.h"

#include <qt_windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
bool underWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}
#endif

QString failureOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const Failure &e) {
        return e.reason();
    }
    return QStringLiteral("<no failure>");
}

QString openFailure(const QString &number)
{
    return QStringLiteral("EComPort: Unable to open com port (win error code: %1)").arg(number);
}

// A registry whose port listing fails the way the system's can.
class FailingListRegistry : public FileRegistry
{
public:
    explicit FailingListRegistry(const FileRegistry &content) : FileRegistry(content) {}
    QStringList valueNames(const QString &path) const override
    {
        if (failListing)
            throw EnumerationError{1018};
        return FileRegistry::valueNames(path);
    }
    bool failListing = false;
};

} // namespace

class TestComPort : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aMissingPortSaysSo()
    {
        SerialGaugePort port;
#ifdef Q_OS_WIN
        port.setPortName(QStringLiteral("COM199"));
#else
        port.setPortName(QStringLiteral("/dev/kfz-no-such-port"));
#endif
        QCOMPARE(failureOf([&] { port.open(); }), openFailure("2"));
        QVERIFY(!port.connected());
        port.setPortName(QString());
        QCOMPARE(failureOf([&] { port.open(); }), openFailure("2"));
        QVERIFY(!port.connected());
    }

#ifndef Q_OS_WIN
    void aDeviceThatIsNoSerialPortSaysWhy()
    {
        SerialGaugePort port;
        port.setPortName(QStringLiteral("/dev/null"));
        QCOMPARE(failureOf([&] { port.open(); }), openFailure(QString::number(ENOTTY)));
        port.setPortName(QDir::tempPath());
        QCOMPARE(failureOf([&] { port.open(); }), openFailure(QString::number(EISDIR)));
        QVERIFY(!port.connected());
    }
#endif

    // A port another program holds: the number is the one the system gave the
    // refused open, not a stale one.
    void aBusyPortGivesTheRefusalsNumber()
    {
        PtyGauge line;
        REQUIRE_GAUGE(line);
        SerialGaugePort first;
        first.setPortName(line.device());
        first.open();
        QVERIFY(first.connected());
#ifdef Q_OS_WIN
        const std::wstring device = L"\\\\.\\" + line.device().toStdWString();
        const HANDLE h = CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        const int refused = int(GetLastError());
        if (h != INVALID_HANDLE_VALUE && underWine()) {
            CloseHandle(h);
            QSKIP("Wine opens a COM port twice; Windows refuses the second open");
        }
        QCOMPARE(h, INVALID_HANDLE_VALUE);
        const QString expected = QString::number(refused);
#else
        const QString expected = QString::number(EBUSY);
#endif
        QVERIFY(expected != "2" && expected != "0");
        SerialGaugePort second;
        second.setPortName(line.device());
        QCOMPARE(failureOf([&] { second.open(); }), openFailure(expected));
        QVERIFY(!second.connected());
        QVERIFY(first.connected());
        first.close();
        second.open(); // free again
        QVERIFY(second.connected());
    }

#ifndef Q_OS_WIN
    // "Tovább" on a port another program holds, or one the user may not open:
    // the message keeps the system's number, and the description starts with
    // what to do about it.
    void aRefusedPortSaysWhatToDo()
    {
        PtyGauge line;
        REQUIRE_GAUGE(line);
        SerialGaugePort holder;
        holder.setPortName(line.device());
        holder.open();
        QVERIFY(holder.connected());
        SerialGaugePort port;
        WizardFixture f({},
                        "Windows Registry Editor Version 5.00\r\n"
                        "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n\"a\"=\"" +
                            line.device().toUtf8() + "\"\r\n",
                        0, {}, &port);
        auto *ports = f.w<QComboBox>("ComComboBox1");
        ports->setCurrentIndex(ports->findText(line.device()));
        QCOMPARE(ports->currentText(), line.device());
        f.click("BB_ConfigNext");
        QTRY_COMPARE(f.shownMessage(),
                     QStringLiteral("A kapcsolódás a Kromaglen-hez nem sikerült! Oka: EComPort: "
                                    "Unable to open com port (win error code: %1))")
                         .arg(EBUSY));
        QVERIFY2(f.info->description().startsWith(
                     QStringLiteral("A portot egy másik program használja: zárja be")),
                 qPrintable(f.info->description()));
        QVERIFY(f.info->description().endsWith(QStringLiteral("\"Hozzáadás\" gombbal.")));
        QVERIFY(!port.connected());

        // As root the refusal for want of rights cannot be made here.
        QVERIFY(SystemError::portOpenAdvice(EACCES).contains(QStringLiteral("dialout")));
        QVERIFY(SystemError::portOpenAdvice(ENOENT).isEmpty());
    }
#endif

    void theGaugesLineSettingsReachTheDevice()
    {
        PtyGauge line;
        REQUIRE_GAUGE(line);
        QSerialPort port(SerialGaugePort::devicePath(line.device()));
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        int systemError = 0;
        QCOMPARE(failureOf([&] { SerialSettings::apply(port, systemError); }),
                 QStringLiteral("<no failure>"));
#ifdef Q_OS_WIN
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        QVERIFY(GetCommState(port.handle(), &dcb));
        QCOMPARE(dcb.BaudRate, DWORD(CBR_9600));
        QCOMPARE(dcb.ByteSize, BYTE(8));
        QCOMPARE(dcb.Parity, BYTE(NOPARITY));
        QCOMPARE(dcb.StopBits, BYTE(ONESTOPBIT));
        QVERIFY(dcb.fOutxCtsFlow);
        // Wine reads the settings back from the terminal, which only knows
        // "RTS/CTS on": the input handshake comes back as RTS enabled.
        QCOMPARE(dcb.fRtsControl, DWORD(underWine() ? RTS_CONTROL_ENABLE : RTS_CONTROL_HANDSHAKE));
        QVERIFY(!dcb.fOutX && !dcb.fInX);
        COMMTIMEOUTS timeouts{};
        QVERIFY(GetCommTimeouts(port.handle(), &timeouts));
        QCOMPARE(timeouts.ReadIntervalTimeout, MAXDWORD);
        QCOMPARE(timeouts.ReadTotalTimeoutConstant, DWORD(0));
        QCOMPARE(timeouts.ReadTotalTimeoutMultiplier, DWORD(0));
#else
        const int fd = ::open(QFile::encodeName(line.device()).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0);
        termios tio{};
        QCOMPARE(tcgetattr(fd, &tio), 0);
        ::close(fd);
        QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
        QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
        QVERIFY(!(tio.c_cflag & (PARENB | CSTOPB)));
        QVERIFY(tio.c_cflag & CRTSCTS);
        QVERIFY(!(tio.c_iflag & (IXON | IXOFF)));
#endif
    }

#ifdef Q_OS_WIN
    void settingsOnAClosedPortNameTheFailingStep()
    {
        QSerialPort port;
        int systemError = 0;
        QCOMPARE(failureOf([&] { SerialSettings::apply(port, systemError); }),
                 QStringLiteral("EComPort: SetupComm function failed (win error code: %1)")
                     .arg(ERROR_INVALID_HANDLE));
    }
#endif

    void thePortListNamesItsFailure()
    {
        const QByteArray reg = "Windows Registry Editor Version 5.00\r\n"
                               "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
                               "\"a\"=\"COM7\"\r\n";
        FailingListRegistry registry(FileRegistry::fromBytes(reg));
        QVERIFY(PortList::ports(registry).contains("COM7"));
        registry.failListing = true;
        QCOMPARE(failureOf([&] { PortList::ports(registry); }),
                 QStringLiteral("EComPort: EnumPorts function failed (win error code: 1018)"));

        // In the gauge search, the second strategy's refill fails: its message
        // box says why, and the button works again.
        registry.failListing = false;
        QTemporaryDir folder;
        QDir::setCurrent(folder.path());
        FakeStation station;
        TF_MainServices services = station.services(folder.path());
        services.registry = &registry;
        const WizardWindows wizard = showWizard(services);
        TF_Main &window = *wizard.main;
        registry.failListing = true;
        auto *find = window.findChild<QPushButton *>(QStringLiteral("BB_FindPort"));
        QTest::mouseClick(find, Qt::LeftButton);
        auto *box = window.findChild<QMessageBox *>(QStringLiteral("FindPortBox"));
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("A port keresése nem sikerült! Oka: EnumPorts "
                                             "function failed (win error code: 1018)"));
        QVERIFY(find->isEnabled());
    }

#ifdef Q_OS_WIN
    // The system's own list: the COM port scripts/test-windows registered.
    void theSystemListsTheLinkedPort()
    {
        PtyGauge line;
        REQUIRE_GAUGE(line);
        const QStringList ports = PortList::ports(WinRegistry());
        QVERIFY2(PortList::find(ports, line.device()) >= 0, qPrintable(ports.join(u' ')));
    }
#endif
};

QTEST_MAIN(TestComPort)
#include "tst_comport.moc"
