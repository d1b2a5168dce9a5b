#pragma once

// Drivers for the end-to-end tests: the program's test build, the gauge
// simulator and the inspection-program client, each as a process.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTest>

namespace {

const QString kBin = QStringLiteral(KFZ_BINARY_DIR);

QString program(const QString &relative)
{
    return kBin + u'/' + relative;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::AnyIPv4, 0);
    return probe.serverPort();
}

class Wizard
{
public:
    Wizard(const QString &folder, const QString &registry, quint16 port,
           QProcessEnvironment env = QProcessEnvironment::systemEnvironment(),
           const QString &executable = program("app/KromaglenForZov_hooked"))
    {
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("KROMAGLEN_REGISTRY", registry);
        env.insert("KROMAGLEN_TEST_PORT", QString::number(port));
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(folder);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(executable);
        m_process.waitForStarted();
    }
    ~Wizard()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    QString cmd(const QString &line)
    {
        m_process.write(line.toUtf8() + '\n');
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(5000))
                return QStringLiteral("<no answer to %1>").arg(line);
        }
        const QString reply = QString::fromUtf8(m_process.readLine()).trimmed();
        return reply.startsWith(u"ok") ? reply.mid(3) : QStringLiteral("<%1>").arg(reply);
    }

    // Polls a query until it gives the wanted answer.
    bool waitFor(const QString &query, const QString &wanted, int ms = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            if (cmd(query) == wanted)
                return true;
            QTest::qWait(20);
        }
        qWarning("%s gave %s", qPrintable(query), qPrintable(cmd(query)));
        return false;
    }

    bool finished(int ms = 5000) { return m_process.waitForFinished(ms); }
    int exitCode() const { return m_process.exitCode(); }
    bool crashed() const { return m_process.exitStatus() == QProcess::CrashExit; }
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
};

class GaugeSimulator
{
public:
    explicit GaugeSimulator(const QString &folder)
    {
        m_process.start(program("tools/kfz-gauge-sim"),
                        {"--link", folder + "/gauge", "--registry", folder + "/registry.reg"});
        m_process.waitForStarted();
        // Until it names its port; a simulator that dies or stays silent
        // leaves the test with a word instead of a loop that never ends.
        QByteArray said;
        QElapsedTimer clock;
        clock.start();
        while (!said.contains("gauge port:")) {
            if (m_process.state() == QProcess::NotRunning || clock.elapsed() > 10000) {
                qWarning("the gauge simulator did not start: %s %s", said.constData(),
                         qPrintable(m_process.errorString()));
                return;
            }
            m_process.waitForReadyRead(200);
            said += m_process.readAllStandardOutput();
        }
    }
    bool started() const { return m_process.state() == QProcess::Running; }
    ~GaugeSimulator()
    {
        m_process.write("quit\n");
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }
    void send(const QByteArray &commands) { m_process.write(commands + '\n'); }

private:
    QProcess m_process;
};

// "Tovább" on the first page, and the gauge's key once the port is open (the
// wait shows its abort button): opening the port would drop an earlier key.
void pressKeyDuringConnectWait(Wizard &w, GaugeSimulator &gauge)
{
    w.cmd("click BB_ConfigNext");
    QVERIFY(w.waitFor("visible BB_AbortConnect", "1", 8000));
    gauge.send("key");
    QVERIFY(w.waitFor("page", "1", 8000));
}

QString client(quint16 port, const QStringList &args)
{
    QProcess p;
    p.start(program("tools/kfz-zov-client"), QStringList{"--port", QString::number(port)} + args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace
