#pragma once

#include "GaugePort.h"

#include <QSerialPort>

// The gauge link on a real serial device: 9600 baud, 8N1, RTS/CTS handshake,
// DTR held off. Nothing is ever written to it.
class SerialGaugePort : public GaugePort
{
    Q_OBJECT

public:
    static inline const QString kDefaultPortName = QStringLiteral("COM6");

    explicit SerialGaugePort(QObject *parent = nullptr);

    QString portName() const override { return m_name; }
    void setPortName(const QString &name) override { m_name = name; }
    void open() override;
    void close() override;
    void purge() override;
    bool connected() const override { return m_open; }
    QByteArray read(qint64 maxBytes) override;
    qint64 bytesWaiting() const override { return m_port.isOpen() ? m_port.bytesAvailable() : 0; }
    void stopNotifications() override { endDevice(); }

    // The device a port name stands for: "/dev/<name>" unless it is a path.
    static QString devicePath(const QString &name);

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void endDevice();
    [[noreturn]] void fail(const char *what, int code) const;
    int lastSystemError() const;

    QSerialPort m_port{this}; // a child: its errors can be staged in tests
    QString m_name = kDefaultPortName;
    bool m_open = false;
    bool m_notify = true;
    int m_systemError = 0; // of the port's last failing call
};
