#include "SerialGaugePort.h"

#include "Failure.h"

#include <QDir>
#include <cerrno>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

SerialGaugePort::SerialGaugePort(QObject *parent) : GaugePort(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &SerialGaugePort::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialGaugePort::onError);
}

QString SerialGaugePort::devicePath(const QString &name)
{
#ifdef Q_OS_WIN
    return name;
#else
    if (name.isEmpty() || QDir::isAbsolutePath(name))
        return name;
    return QStringLiteral("/dev/") + name;
#endif
}

int SerialGaugePort::lastSystemError() const
{
#ifdef Q_OS_WIN
    return int(GetLastError());
#else
    if (errno != 0)
        return errno;
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return ENOENT;
    case QSerialPort::PermissionError:
        return EACCES;
    case QSerialPort::ResourceError:
        return EIO;
    default:
        return EINVAL;
    }
#endif
}

void SerialGaugePort::fail(const char *what, int code) const
{
    throw Failure(QStringLiteral("EComPort"),
                  QStringLiteral("%1 (win error code: %2)").arg(QLatin1String(what)).arg(code));
}

void SerialGaugePort::open()
{
    if (m_open)
        return;
    m_port.setPortName(devicePath(m_name));
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::HardwareControl);
    m_port.setReadBufferSize(0);
    errno = 0;
    if (m_name.isEmpty() || !m_port.open(QIODevice::ReadWrite))
        fail("Unable to open com port", m_name.isEmpty() ? ENOENT : lastSystemError());
    // A pseudo-terminal has no modem lines: holding DTR off may fail there.
    m_port.setDataTerminalReady(false);
    m_open = true;
    m_notify = true;
    purge();
}

void SerialGaugePort::close()
{
    if (!m_open)
        return;
    m_open = false;
    if (m_port.isOpen()) {
        m_port.clear();
        m_port.close();
    }
}

void SerialGaugePort::purge()
{
    if (!m_open || !m_port.isOpen())
        return;
    errno = 0;
    if (!m_port.clear(QSerialPort::AllDirections))
        fail("PurgeComm function failed", lastSystemError());
}

QByteArray SerialGaugePort::read(qint64 maxBytes)
{
    errno = 0;
    if (!m_port.isOpen())
        fail("ReadFile function failed", EBADF);
    const QByteArray bytes = m_port.read(maxBytes);
    if (m_port.error() == QSerialPort::ReadError || m_port.error() == QSerialPort::ResourceError)
        fail("ReadFile function failed", lastSystemError());
    return bytes;
}

void SerialGaugePort::onReadyRead()
{
    const qint64 waiting = m_port.bytesAvailable();
    if (m_notify && waiting > 0)
        Q_EMIT rxChar(int(qMin<qint64>(waiting, INT_MAX)));
}

void SerialGaugePort::onError(QSerialPort::SerialPortError error)
{
    // A vanished device (hang-up, unplugged adapter): stop listening, but the
    // link still counts as open until the user repairs or leaves it.
    if (error == QSerialPort::ResourceError && m_port.isOpen()) {
        m_notify = false;
        m_port.close();
    }
}
