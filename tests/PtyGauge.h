#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <unistd.h>

// The far end of a pseudo-terminal, standing in for the gauge. With a link
// path the device is reached through that symbolic link, so that a new gauge
// can take the old one's name (the repair reopens the same name).
class PtyGauge
{
public:
    explicit PtyGauge(const QString &link = QString()) : m_link(link)
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(m_master);
        unlockpt(m_master);
        m_device = QString::fromLocal8Bit(ptsname(m_master));
        if (!m_link.isEmpty()) {
            QFile::remove(m_link);
            QFile::link(m_device, m_link);
        }
    }
    ~PtyGauge() { hangUp(); }
    PtyGauge(const PtyGauge &) = delete;
    PtyGauge &operator=(const PtyGauge &) = delete;

    // The name the program opens.
    QString portName() const { return m_link.isEmpty() ? m_device : m_link; }
    const QString &device() const { return m_device; }
    bool send(const QByteArray &bytes) const
    {
        return ::write(m_master, bytes.data(), size_t(bytes.size())) == bytes.size();
    }
    void hangUp()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_device;
    QString m_link;
};
