#pragma once

// The inspection program's side of the handover, for the suites: one reply
// line read, one request over a connection of its own.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>

// A reply line with its CR LF, as far as it came within 3 s.
inline QByteArray readLine(QTcpSocket &socket)
{
    QByteArray reply;
    QElapsedTimer clock;
    clock.start();
    while (!reply.endsWith("\r\n") && clock.elapsed() < 3000) {
        QCoreApplication::processEvents();
        socket.waitForReadyRead(5);
        reply += socket.readAll();
    }
    return reply;
}

// `line` (with its CR LF) sent on a new connection; the reply with its CR LF.
inline QString request(quint16 port, const QByteArray &line)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000))
        return QStringLiteral("<no connection>");
    socket.write(line);
    return QString::fromLatin1(readLine(socket));
}
