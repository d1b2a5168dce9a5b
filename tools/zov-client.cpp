// Speaks the handover protocol as the inspection program does: sends the
// vehicle category, asks for the points, or sends one line of its own.
#include "Cp1250.h"
#include "PointCatalogue.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTcpSocket>
#include <QTextStream>

#include <optional>

namespace {

constexpr int kTimeoutMs = 5000;
constexpr char kCategoryPrefix[] = "category=";

const char kUsageText[] =
    "usage: kfz-zov-client [--host HOST] [--port PORT] COMMAND\n"
    "\n"
    "Speaks to KromaglenForZov's handover as the inspection program does.\n"
    "\n"
    "  category CODE   send the vehicle category (\"category=CODE\"); the program\n"
    "                  takes it on its first page and never replies\n"
    "  fetch           ask for all 23 points in catalogue order (the program must\n"
    "                  stand on its last page) and print them as a table\n"
    "  raw LINE        send one line and print the reply (a category= line gets none)\n"
    "\n"
    "  --host HOST     where the program runs (default 127.0.0.1)\n"
    "  --port PORT     its handover port (default 4747)\n"
    "  -h, --help      this text\n"
    "\n"
    "Exit status: 0 done; 1 no connection, or no reply within 5 s; 2 a wrong\n"
    "command line; 3 the program is not on the page the request needs (fetch\n"
    "was answered \"-\": it is not on its last page, \"Adatok átadása\").\n";

enum Status { kOk = 0, kNoAnswer = 1, kUsage = 2, kWrongPage = 3 };

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

int usageError(const QString &text)
{
    err() << "kfz-zov-client: " << text << " (see --help)\n";
    return kUsage;
}

class Connection
{
public:
    bool open(const QString &host, quint16 port)
    {
        m_socket.connectToHost(host, port);
        if (m_socket.waitForConnected(kTimeoutMs))
            return true;
        err() << "kfz-zov-client: cannot connect to " << host << ':' << port << ": "
              << m_socket.errorString() << " (is KromaglenForZov running?)\n";
        return false;
    }

    bool send(const QString &line)
    {
        m_socket.write(Cp1250::encode(line) + "\r\n");
        if (m_socket.waitForBytesWritten(kTimeoutMs))
            return true;
        err() << "kfz-zov-client: cannot send: " << m_socket.errorString() << '\n';
        return false;
    }

    // The reply line without its CR LF, or nothing when the connection ends or
    // stays silent.
    std::optional<QString> reply()
    {
        while (!m_buffer.contains("\r\n")) {
            if (!m_socket.waitForReadyRead(kTimeoutMs)) {
                err() << "kfz-zov-client: no reply"
                      << (m_socket.state() == QAbstractSocket::ConnectedState
                              ? QStringLiteral(" within %1 s").arg(kTimeoutMs / 1000)
                              : QStringLiteral(": ") + m_socket.errorString())
                      << '\n';
                return std::nullopt;
            }
            m_buffer += m_socket.readAll();
        }
        const qsizetype end = m_buffer.indexOf("\r\n");
        const QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 2);
        return Cp1250::decode(line);
    }

    void close()
    {
        m_socket.disconnectFromHost();
        if (m_socket.state() != QAbstractSocket::UnconnectedState)
            m_socket.waitForDisconnected(1000);
    }

private:
    QTcpSocket m_socket;
    QByteArray m_buffer;
};

int sendCategory(Connection &c, const QString &code)
{
    if (!c.send(QLatin1String(kCategoryPrefix) + code))
        return kNoAnswer;
    out() << "sent: category=" << code
          << " (the program selects its plan on the first page; no reply comes)\n";
    return kOk;
}

int raw(Connection &c, const QString &line)
{
    if (line.startsWith(QLatin1String(kCategoryPrefix)))
        return sendCategory(c, line.mid(int(sizeof kCategoryPrefix) - 1));
    if (!c.send(line))
        return kNoAnswer;
    const auto reply = c.reply();
    if (!reply)
        return kNoAnswer;
    out() << *reply << '\n';
    return kOk;
}

int fetch(Connection &c)
{
    for (int i = 0; i < PointCatalogue::kPointCount; ++i) {
        const QString id = PointCatalogue::pointId(i);
        if (!c.send(id))
            return kNoAnswer;
        const auto reply = c.reply();
        if (!reply)
            return kNoAnswer;
        if (*reply == u"-") {
            // Every point is answered so on the other pages; one is enough.
            err() << "kfz-zov-client: " << id
                  << " was answered \"-\": KromaglenForZov is not on its last page "
                     "(\"Adatok átadása\"); move it there and fetch again\n";
            return kWrongPage;
        }
        QString values = reply->startsWith(id) ? reply->mid(id.size()) : *reply;
        if (values.startsWith(u':'))
            values.remove(0, 1);
        out() << id.leftJustified(18) << ' ' << values.replace(u':', u' ') << '\n';
    }
    return kOk;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption host("host", {}, "HOST", QStringLiteral("127.0.0.1"));
    const QCommandLineOption port("port", {}, "PORT", QStringLiteral("4747"));
    parser.addOptions({help, host, port});
    // What follows the command is its argument, even when it starts with "-".
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        out() << QString::fromUtf8(kUsageText);
        return kOk;
    }
    bool portOk = false;
    const uint portNumber = parser.value(port).toUInt(&portOk);
    if (!portOk || portNumber == 0 || portNumber > 65535)
        return usageError(QStringLiteral("not a port: %1").arg(parser.value(port)));

    QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usageError(QStringLiteral("no command"));
    const QString command = args.takeFirst();
    if (command != u"category" && command != u"raw" && command != u"fetch")
        return usageError(QStringLiteral("unknown command %1").arg(command));
    if (command == u"fetch" && !args.isEmpty())
        return usageError(QStringLiteral("fetch takes no argument"));
    if (command != u"fetch" && args.size() != 1)
        return usageError(
            QStringLiteral("%1 takes one argument (quote it if it holds blanks)").arg(command));

    Connection connection;
    if (!connection.open(parser.value(host), quint16(portNumber)))
        return kNoAnswer;
    int status = kOk;
    if (command == u"category")
        status = sendCategory(connection, args.first());
    else if (command == u"raw")
        status = raw(connection, args.first());
    else
        status = fetch(connection);
    out().flush();
    connection.close();
    return status;
}
