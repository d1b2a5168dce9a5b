#pragma once

// A throw-away PostgreSQL server for the tests: a cluster in a temporary
// folder, on a free port of 127.0.0.1 and a socket in that folder, stopped and
// removed with the object. initdb refuses to run as root, so as root the
// server runs as the user "postgres" (or "nobody"), owning the folder.
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <unistd.h>

class PostgresCluster
{
public:
    static inline const QString kUser = QStringLiteral("kfz");

    PostgresCluster()
    {
        const QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql"))
                                         .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &v : versions) {
            const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(v);
            if (QFile::exists(bin + "/initdb") && QFile::exists(bin + "/pg_ctl"))
                m_bin = bin;
        }
        if (m_bin.isEmpty()) {
            m_problem =
                QStringLiteral("no PostgreSQL server binaries in /usr/lib/postgresql/*/bin");
            return;
        }
        if (::geteuid() == 0) {
            for (const char *user : {"postgres", "nobody"}) {
                QProcess id;
                id.start("id", {"-u", QString::fromLatin1(user)});
                if (id.waitForFinished() && id.exitCode() == 0) {
                    m_runAs = QString::fromLatin1(user);
                    break;
                }
            }
            if (QProcess::execute("chown", {m_runAs, m_dir.path()}) != 0) {
                m_problem = "cannot give the cluster folder to " + m_runAs;
                return;
            }
        }
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
        probe.close();
        const QString data = m_dir.filePath("data");
        if (!run("initdb", {"-D", data, "-A", "trust", "-U", kUser, "-E", "UTF8", "--locale=C",
                            "--no-sync"}) ||
            !run("pg_ctl", {"-D", data, "-l", m_dir.filePath("log"), "-w", "-t", "30", "-o",
                            QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                                .arg(m_port)
                                .arg(m_dir.path()),
                            "start"}))
            return;
        m_running = true;
        // Should the test die without its destructor, the server goes with it.
        const QString stop = command("pg_ctl", {"-D", data, "-m", "immediate", "stop"});
        QProcess::startDetached("sh",
                                {"-c", QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; "
                                                      "done; %2 >/dev/null 2>&1; rm -rf '%3'")
                                           .arg(QCoreApplication::applicationPid())
                                           .arg(stop, m_dir.path())});
    }

    ~PostgresCluster()
    {
        if (m_running)
            run("pg_ctl", {"-D", m_dir.filePath("data"), "-m", "immediate", "-w", "stop"});
    }

    bool running() const { return m_running; }
    QString problem() const { return m_problem; }
    quint16 port() const { return m_port; }

    bool createDatabase(const QString &name)
    {
        return run("createdb",
                   {"-h", "127.0.0.1", "-p", QString::number(m_port), "-U", kUser, name});
    }

    // "postgresql://kfz@127.0.0.1:<port>/<database>"
    QString address(const QString &database) const
    {
        return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3")
            .arg(kUser)
            .arg(m_port)
            .arg(database);
    }

private:
    QStringList argv(const QString &tool, const QStringList &args) const
    {
        if (m_runAs.isEmpty())
            return QStringList{m_bin + u'/' + tool} + args;
        return QStringList{"runuser", "-u", m_runAs, "--", m_bin + u'/' + tool} + args;
    }

    // The same as a shell command line (the folder names hold no quotes).
    QString command(const QString &tool, const QStringList &args) const
    {
        QStringList quoted;
        for (const QString &a : argv(tool, args))
            quoted.append(u'\'' + a + u'\'');
        return quoted.join(u' ');
    }

    bool run(const QString &tool, const QStringList &args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(m_dir.path());
        const QStringList line = argv(tool, args);
        p.start(line.first(), line.mid(1));
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            m_problem = tool + QStringLiteral(" failed: ") + QString::fromLocal8Bit(p.readAll());
            return false;
        }
        return true;
    }

    QTemporaryDir m_dir{QStringLiteral("/tmp/kfz-arch-pg-XXXXXX")};
    QString m_bin;
    QString m_runAs;
    quint16 m_port = 0;
    bool m_running = false;
    QString m_problem;
};
