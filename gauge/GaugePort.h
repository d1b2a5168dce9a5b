#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The serial link to the gauge as the wizard uses it. Failures are thrown as
// Failure of kind EComPort. Received bytes are announced on the window thread
// by rxChar with the number of bytes waiting.
class GaugePort : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual QString portName() const = 0;
    virtual void setPortName(const QString &name) = 0;
    // Opens the port under its current name; nothing if it is open already.
    virtual void open() = 0;
    // Closes the port; nothing if it is not open.
    virtual void close() = 0;
    // Empties the input and output queues.
    virtual void purge() = 0;
    virtual bool connected() const = 0;
    // Up to maxBytes of what has arrived, without waiting.
    virtual QByteArray read(qint64 maxBytes) = 0;
    // How many bytes have arrived and wait to be read.
    virtual qint64 bytesWaiting() const = 0;
    // After a failed receive notification no further notifications arrive
    // until the port is closed and opened again.
    virtual void stopNotifications() = 0;

Q_SIGNALS:
    void rxChar(int count);
    // The device ended while open (hang-up, vanished adapter): nothing more
    // arrives until the port is closed and opened again.
    void linkLost();
};
