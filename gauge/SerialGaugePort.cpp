#include "SerialGaugePort.h"

#include "Failure.h"
#include "SerialSettings.h"
#include "SystemError.h"

#include <QDir>
#include <cerrno>

SerialGaugePort::SerialGaugePort(QObject *parent) : GaugePort(parent)
{
    // Qt reports a failing system call at once: keep its error number.
    connect(&m_port, &QSerialPort::errorOccurred, this,
            [this] { m_systemError = SystemError::last(); });
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

// The error number of the port's last failing call.
int SerialGaugePort::lastSystemError() const
{
#ifndef Q_OS_WIN
    // Qt's lock file says another program has the port: no system call failed.
    if (m_port.error() == QSerialPort::PermissionError && m_systemError != EACCES &&
        m_systemError != EPERM)
        return EBUSY;
#endif
    return m_systemError;
}

void SerialGaugePort::fail(const char *what, int code) const
{
    SerialSettings::fail(what, code);
}

void SerialGaugePort::open()
{
    if (m_open)
        return;
    // No name, no device (the error number of a missing file on both systems).
    constexpr int kNoSuchDevice = 2;
    if (m_name.isEmpty())
        fail("Unable to open com port", kNoSuchDevice);
    m_port.setPortName(devicePath(m_name));
    m_port.setReadBufferSize(0);
    m_systemError = 0;
    if (!m_port.open(QIODevice::ReadWrite)) {
        const int code = lastSystemError();
        Failure failure(QStringLiteral("EComPort"),
                        QStringLiteral("Unable to open com port (win error code: %1)").arg(code));
        failure.setAdvice(SystemError::portOpenAdvice(code));
        throw failure;
    }
    try {
        SerialSettings::apply(m_port, m_systemError);
        m_open = true;
        m_notify = true;
        purge();
    } catch (const Failure &) {
        m_open = false;
        m_port.close();
        throw;
    }
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
    if (!m_port.clear(QSerialPort::AllDirections))
        fail("PurgeComm function failed", lastSystemError());
}

QByteArray SerialGaugePort::read(qint64 maxBytes)
{
    if (!m_port.isOpen())
        fail("ReadFile function failed", SystemError::notOpen());
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
    // While the link is open, Qt reports only what ends its reading: a
    // hang-up (a read error, or end of file), a vanished adapter (a resource
    // error), or a code it does not know, as a Bluetooth driver's may be (a
    // hang-up came as "broken pipe", an unknown error, under Wine). Whatever
    // the code, nothing more arrives: the link has ended. (The one call made
    // here on an open port, the purge, fails only on such a device too.)
    if (error != QSerialPort::NoError)
        endDevice();
}

void SerialGaugePort::endDevice()
{
    // An ended device's descriptor stays readable, so listening on would
    // spin: stop at once. The link still counts as open until the user
    // repairs or leaves it.
    if (!m_open || !m_notify)
        return;
    m_notify = false;
    // Closed once Qt has left the read notification this may run inside.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_notify || !m_open) // closed, or opened again, meanwhile
                return;
            if (m_port.isOpen())
                m_port.close();
            Q_EMIT linkLost();
        },
        Qt::QueuedConnection);
}
