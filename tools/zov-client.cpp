// Speaks the handover protocol as the inspection program does.
//
//   kfz-zov-client [--host HOST] [--port PORT] category CODE
//   kfz-zov-client [--host HOST] [--port PORT] fetch
//   kfz-zov-client [--host HOST] [--port PORT] raw LINE
//
// "category" sends the vehicle category (no reply is expected); "fetch" asks
// for all 23 points in catalogue order and prints the answers as a table;
// "raw" sends one line and prints the reply. Exit code 0 on success.
#include "Cp1250.h"
#include "PointCatalogue.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <QTextStream>

namespace {

constexpr int kTimeoutMs = 5000;

std::optional<QString> ask(QTcpSocket &socket, const QString &line, bool expectReply)
{
    socket.write(Cp1250::encode(line) + "\r\n");
    if (!socket.waitForBytesWritten(kTimeoutMs))
        return std::nullopt;
    if (!expectReply)
        return QString();
    QByteArray reply;
    while (!reply.endsWith("\r\n")) {
        if (!socket.waitForReadyRead(kTimeoutMs))
            return std::nullopt;
        reply += socket.readAll();
    }
    reply.chop(2);
    return Cp1250::decode(reply);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 4747;
    while (args.size() >= 2 && args.first().startsWith(QStringLiteral("--"))) {
        const QString option = args.takeFirst();
        const QString value = args.takeFirst();
        if (option == u"--host")
            host = value;
        else if (option == u"--port")
            port = quint16(value.toUInt());
    }
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.isEmpty()) {
        err << "usage: kfz-zov-client [--host H] [--port P] category CODE | fetch | raw LINE\n";
        return 2;
    }
    QTcpSocket socket;
    socket.connectToHost(host, port);
    if (!socket.waitForConnected(kTimeoutMs)) {
        err << "cannot connect to " << host << ':' << port << ": " << socket.errorString() << '\n';
        return 1;
    }
    const QString command = args.takeFirst();
    int status = 0;
    if (command == u"category") {
        status = ask(socket, QStringLiteral("category=") + args.join(u' '), false) ? 0 : 1;
    } else if (command == u"raw") {
        const auto reply = ask(socket, args.join(u' '), true);
        if (reply)
            out << *reply << '\n';
        status = reply ? 0 : 1;
    } else if (command == u"fetch") {
        for (int i = 0; i < PointCatalogue::kPointCount && status == 0; ++i) {
            const QString id = PointCatalogue::pointId(i);
            const auto reply = ask(socket, id, true);
            if (!reply) {
                status = 1;
                break;
            }
            QString values = reply->startsWith(id) ? reply->mid(id.size()) : *reply;
            if (values.startsWith(u':'))
                values.remove(0, 1);
            out << id.leftJustified(18) << ' ' << values.replace(u':', u' ') << '\n';
        }
    } else {
        err << "unknown command " << command << '\n';
        return 2;
    }
    out.flush();
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.waitForDisconnected(1000);
    if (status != 0)
        err << "no answer: " << socket.errorString() << '\n';
    return status;
}
