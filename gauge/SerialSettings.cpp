#include "SerialSettings.h"

#include "Failure.h"
#include "SystemError.h"

#include <QSerialPort>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace SerialSettings {

void fail(const char *what, int code)
{
    throw Failure(QStringLiteral("EComPort"),
                  QStringLiteral("%1 (win error code: %2)").arg(QLatin1String(what)).arg(code));
}

#ifdef Q_OS_WIN

void apply(QSerialPort &port, const int &)
{
    const HANDLE handle = port.handle();
    if (!SetupComm(handle, kQueueSize, kQueueSize))
        fail("SetupComm function failed", SystemError::last());

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb))
        fail("SetCommState function failed", SystemError::last());
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fOutxCtsFlow = TRUE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.XonLim = kHandshakeLimit;
    dcb.XoffLim = kHandshakeLimit;
    if (!SetCommState(handle, &dcb))
        fail("SetCommState function failed", SystemError::last());

    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD; // a read returns what has arrived
    if (!SetCommTimeouts(handle, &timeouts))
        fail("SetCommTimeouts failed", SystemError::last());
}

#else

// The terminal driver's queues have a fixed size and its reads return at once
// (Qt opens the port that way): only the line settings are steps here.
void apply(QSerialPort &port, const int &systemError)
{
    if (!port.setBaudRate(QSerialPort::Baud9600) || !port.setDataBits(QSerialPort::Data8) ||
        !port.setParity(QSerialPort::NoParity) || !port.setStopBits(QSerialPort::OneStop) ||
        !port.setFlowControl(QSerialPort::HardwareControl))
        fail("SetCommState function failed", systemError);
    // A pseudo-terminal has no modem lines: holding DTR off fails there.
    port.setDataTerminalReady(false);
}

#endif

} // namespace SerialSettings
