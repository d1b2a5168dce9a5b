#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <functional>
#include <termios.h>
#include <unistd.h>

// The command lines of the gauge simulator and the inspection-program client,
// run as a user runs them: help, wrong arguments, confirmations and exit
// codes. The client talks to a handover stand-in on a real socket.
namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    qint64 ms = 0;
};

// Runs a tool to its end while the test's event loop keeps serving sockets.
Run run(const QString &program, const QStringList &args, const QByteArray &input = {},
        const QString &folder = {})
{
    QProcess p;
    p.setWorkingDirectory(folder);
    QElapsedTimer clock;
    clock.start();
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 20000))
        p.kill();
    p.waitForFinished(1000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError(), clock.elapsed()};
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString kSim = QStringLiteral(KFZ_GAUGE_SIM);
const QString kClient = QStringLiteral(KFZ_ZOV_CLIENT);
const QString kFill = QStringLiteral(KFZ_ARCHIVE_FILL);

// A handover stand-in: records the lines it receives and answers each with
// what the reply function gives (nothing for an empty answer).
class Handover : public QObject
{
public:
    explicit Handover(std::function<QByteArray(const QByteArray &)> reply)
        : m_reply(std::move(reply))
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    while (s->canReadLine()) {
                        QByteArray line = s->readLine();
                        line.chop(2);
                        lines.append(line);
                        const QByteArray answer = m_reply(line);
                        if (answer == "<close>")
                            s->close();
                        else if (!answer.isEmpty())
                            s->write(answer + "\r\n");
                    }
                });
            }
        });
    }
    QStringList port() const { return {"--port", QString::number(m_server.serverPort())}; }

    QList<QByteArray> lines;

private:
    QTcpServer m_server;
    std::function<QByteArray(const QByteArray &)> m_reply;
};

} // namespace

class TestTools : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void helpAndWrongCommandLines_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("saying");
        QTest::newRow("sim --help") << kSim << QStringList{"--help"} << 0 << QByteArray("usage:");
        QTest::newRow("sim -h") << kSim << QStringList{"-h"} << 0 << QByteArray("usage:");
        QTest::newRow("sim unknown option")
            << kSim << QStringList{"--bogus"} << 2 << QByteArray("unknown option --bogus");
        QTest::newRow("sim --link without path")
            << kSim << QStringList{"--link"} << 2 << QByteArray("--link needs a path");
        QTest::newRow("sim unknown command")
            << kSim << QStringList{"jump"} << 2 << QByteArray("unknown command: jump");
        QTest::newRow("sim reading out of range")
            << kSim << QStringList{"fe 70000"} << 2 << QByteArray("N from 0 to 65535");
        QTest::newRow("sim reading not a number")
            << kSim << QStringList{"al x"} << 2 << QByteArray("N from 0 to 65535");
        QTest::newRow("sim bad byte")
            << kSim << QStringList{"raw 2c 4g"} << 2 << QByteArray("bytes in hexadecimal (not 4g)");
        QTest::newRow("client --help")
            << kClient << QStringList{"--help"} << 0 << QByteArray("usage:");
        QTest::newRow("client no command")
            << kClient << QStringList{} << 2 << QByteArray("no command");
        QTest::newRow("client unknown command")
            << kClient << QStringList{"send", "x"} << 2 << QByteArray("unknown command send");
        QTest::newRow("client unknown option")
            << kClient << QStringList{"--frob", "fetch"} << 2 << QByteArray("frob");
        QTest::newRow("client bad port") << kClient << QStringList{"--port", "70000", "fetch"} << 2
                                         << QByteArray("not a port: 70000");
        QTest::newRow("client raw without line")
            << kClient << QStringList{"raw"} << 2 << QByteArray("raw takes one argument");
        QTest::newRow("client fetch with argument")
            << kClient << QStringList{"fetch", "HOOD"} << 2 << QByteArray("fetch takes no");
        QTest::newRow("fill --help") << kFill << QStringList{"--help"} << 0 << QByteArray("usage:");
        QTest::newRow("fill -h") << kFill << QStringList{"-h"} << 0 << QByteArray("usage:");
        QTest::newRow("fill without a file")
            << kFill << QStringList{} << 2 << QByteArray("no archive file given");
        QTest::newRow("fill count not a number")
            << kFill << QStringList{"--count", "many", "a.sqlite"} << 2
            << QByteArray("--count takes a number");
        QTest::newRow("fill count zero") << kFill << QStringList{"--count", "0", "a.sqlite"} << 2
                                         << QByteArray("--count takes a number");
        QTest::newRow("fill stations zero") << kFill << QStringList{"--stations", "0", "a.sqlite"}
                                            << 2 << QByteArray("--stations takes a number");
        QTest::newRow("fill days negative") << kFill << QStringList{"--days", "-3", "a.sqlite"} << 2
                                            << QByteArray("--days takes a number");
        QTest::newRow("fill two files")
            << kFill << QStringList{"a.sqlite", "b.sqlite"} << 2 << QByteArray("one archive file");
        QTest::newRow("fill unknown option")
            << kFill << QStringList{"--frob", "a.sqlite"} << 2 << QByteArray("frob");
    }

    // Help goes to standard output and ends well; a wrong command line is
    // refused on standard error before anything is opened (no port printed).
    void helpAndWrongCommandLines()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, saying);
        // In a folder of its own, to see that nothing was made there.
        QTemporaryDir dir;
        const Run r = run(program, args, {}, dir.path());
        QCOMPARE(r.exitCode, exitCode);
        const QByteArray said = exitCode == 0 ? r.out : r.err;
        QVERIFY2(said.contains(saying), said.constData());
        QVERIFY(!r.out.contains("gauge port: /"));
        if (exitCode != 0)
            QVERIFY(r.out.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
    }

    // The archive filler makes a new archive, and adds to an existing file
    // only when told to: a start in a station's folder leaves its archive be.
    void fillerNeverTouchesAnArchiveUnasked()
    {
        QTemporaryDir dir;
        const QString archive = dir.filePath("Kromaglen_archive.sqlite");
        Run r = run(kFill, {"--count", "3", "--days", "2", archive});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(
            r.out.startsWith(QByteArray("3 inspections added to " + archive.toUtf8() + " in ")),
            r.out.constData());
        const QByteArray made = readAll(archive);
        QVERIFY(made.startsWith("SQLite format 3"));

        r = run(kFill, {"--count", "3", archive});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("exists: give --append"), r.err.constData());
        QCOMPARE(readAll(archive), made);

        r = run(kFill, {"--append", "--count", "4", archive});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(readAll(archive) != made);

        // A shared archive always holds a station's real inspections.
        r = run(kFill, {"--count", "3", "postgresql://kfz@127.0.0.1:1/arch"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("shared archive: give --append"), r.err.constData());

        // A file that is no archive is not written into, even with --append.
        const QString notes = dir.filePath("notes.txt");
        QFile f(notes);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not an archive\n");
        f.close();
        r = run(kFill, {"--append", notes});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(!r.err.isEmpty());
        QCOMPARE(readAll(notes), QByteArray("not an archive\n"));
        // Nor another program's SQLite database.
        const QString other = dir.filePath("other.sqlite");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
            db.setDatabaseName(other);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("CREATE TABLE customer (name TEXT)"));
        }
        QSqlDatabase::removeDatabase("other");
        const QByteArray others = readAll(other);
        r = run(kFill, {"--append", other});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("nem a program archívuma"), r.err.constData());
        QCOMPARE(readAll(other), others);
        r = run(kFill, {dir.filePath("no/such/folder/a.sqlite")});
        QCOMPARE(r.exitCode, 1);
    }

    // Each command is confirmed and its bytes reach the port; a wrong command
    // read from standard input is reported, the rest still run, and the exit
    // code tells that one failed.
    void simulatorConfirmsEachCommand()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("gauge");
        QProcess sim;
        sim.start(kSim, {"--link", link, "fe 123"});
        QVERIFY(sim.waitForReadyRead(5000));
        QByteArray out = sim.readLine();
        QCOMPARE(out, "gauge port: " + link.toUtf8() + '\n');
        const int fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        sim.write("al 98\nkey\nfly\nraw 2c 4d\n");
        QVERIFY(QTest::qWaitFor(
            [&] { return (out += sim.readAllStandardOutput()).contains("sent raw"); }, 5000));
        QByteArray received(64, '\0');
        const ssize_t n = ::read(fd, received.data(), size_t(received.size()));
        ::close(fd);
        QCOMPARE(received.left(n), QByteArray(",FE{\0,AL", 8) + QByteArray("b\0,ME,M", 7));
        sim.write("quit\n");
        QVERIFY(sim.waitForFinished(5000));
        out += sim.readAllStandardOutput();
        QCOMPARE(sim.exitCode(), 1);
        QVERIFY(out.contains("sent fe 123: 2c 46 45 7b 00\n"));
        QVERIFY(out.contains("sent al 98: 2c 41 4c 62 00\n"));
        QVERIFY(out.contains("sent key: 2c 4d 45\n"));
        QVERIFY(out.contains("sent raw: 2c 4d\n"));
        QVERIFY(out.endsWith("quit\n"));
        QVERIFY(sim.readAllStandardError().contains("unknown command: fly"));
        QVERIFY(!QFile::exists(link)); // the link goes with the port

        const Run good = run(kSim, {"key", "wait 1", "quit"});
        QCOMPARE(good.exitCode, 0);
        QVERIFY(good.out.startsWith("gauge port: /dev/pts/"));
        QVERIFY(good.out.contains("waited 1 ms\n"));
    }

    // The simulator must not end up waiting for ever on a port nobody reads,
    // nor take another file's place for its link.
    void simulatorFaults()
    {
        const Run flood = run(kSim, {"noise 1048576", "quit"});
        QCOMPARE(flood.exitCode, 1);
        QVERIFY(flood.err.contains("is nobody reading it?"));
        QVERIFY(flood.out.endsWith("quit\n"));
        QVERIFY2(flood.ms < 8000, QByteArray::number(flood.ms).constData());

        QTemporaryDir dir;
        const QString file = dir.filePath("precious");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep");
        f.close();
        const Run linked = run(kSim, {"--link", file, "quit"});
        QCOMPARE(linked.exitCode, 1);
        QVERIFY(linked.err.contains("is no symbolic link"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("keep"));

        const Run registry = run(kSim, {"--registry", dir.filePath("no/such/dir.reg"), "quit"});
        QCOMPARE(registry.exitCode, 1);
        QVERIFY(registry.err.contains("cannot write"));
    }

    // A category line never gets a reply: the client sends it, confirms and
    // ends at once, also when it comes as a raw line.
    void categoryNeedsNoReply()
    {
        Handover handover([](const QByteArray &) { return QByteArray(); });
        for (const QStringList &args :
             {QStringList{"category", "M1"}, QStringList{"raw", "category=N1"}}) {
            const Run r = run(kClient, handover.port() + args);
            QCOMPARE(r.exitCode, 0);
            QVERIFY2(r.out.startsWith("sent: category="), r.out.constData());
            QVERIFY2(r.ms < 4000, QByteArray::number(r.ms).constData());
        }
        // The client may end before the stand-in has read its line.
        QTRY_COMPARE(handover.lines, (QList<QByteArray>{"category=M1", "category=N1"}));
    }

    void rawAndFetch()
    {
        Handover lastPage([](const QByteArray &line) {
            return line == "HOOD" ? QByteArray("HOOD:123:98") : line + ":7";
        });
        Run r = run(kClient, lastPage.port() + QStringList{"raw", "HOOD"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("HOOD:123:98\n"));
        r = run(kClient, lastPage.port() + QStringList{"fetch"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.count('\n'), 23);
        QVERIFY(r.out.contains("HOOD               123 98\n"));

        // On another page every point is answered "-": the client says so
        // after the first and tells it by its exit code.
        Handover firstPage([](const QByteArray &) { return QByteArray("-"); });
        r = run(kClient, firstPage.port() + QStringList{"fetch"});
        QCOMPARE(r.exitCode, 3);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains("not on its last page"), r.err.constData());
        QCOMPARE(firstPage.lines.size(), 1);
        r = run(kClient, firstPage.port() + QStringList{"raw", "HOOD"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("-\n"));

        // No answer at all.
        Handover hangsUp([](const QByteArray &) { return QByteArray("<close>"); });
        r = run(kClient, hangsUp.port() + QStringList{"raw", "HOOD"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains("no reply"));
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const QString port = QString::number(closed.serverPort());
        closed.close();
        r = run(kClient, {"--port", port, "fetch"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains("cannot connect"));
    }
};

QTEST_GUILESS_MAIN(TestTools)
#include "tst_tools.moc"
