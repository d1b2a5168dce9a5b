#pragma once

// A PostgreSQL server for the tests, with TLS: a throw-away cluster that
// tests/helpers/pg-test-server makes on a free port of 127.0.0.1 with a test CA
// of its own. On Linux the test starts it and it goes with the object. A
// Windows build cannot start one (it runs under Wine): it is given the server
// the Linux side started, by KFZ_TEST_POSTGRES naming the helper's
// information file.
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

class PostgresCluster
{
public:
    PostgresCluster()
    {
#ifdef Q_OS_WIN
        const QString info = qEnvironmentVariable("KFZ_TEST_POSTGRES");
        if (info.isEmpty()) {
            m_problem = QStringLiteral("KFZ_TEST_POSTGRES does not name the server's information "
                                       "file (ctest starts the server on the Linux side)");
            return;
        }
        readInfo(info);
#else
        m_info = m_dir.filePath(QStringLiteral("server.ini"));
        QProcess start;
        start.setProcessChannelMode(QProcess::MergedChannels);
        start.start(QStringLiteral(KFZ_PG_TEST_SERVER),
                    {"start", m_info, QString::number(QCoreApplication::applicationPid())});
        if (!start.waitForFinished(120000) || start.exitStatus() != QProcess::NormalExit ||
            start.exitCode() != 0) {
            m_missing = start.exitCode() == 77;
            m_problem = QString::fromLocal8Bit(start.readAll()).trimmed();
            return;
        }
        readInfo(m_info);
        m_started = m_running;
#endif
    }

    ~PostgresCluster()
    {
#ifndef Q_OS_WIN
        if (m_started)
            QProcess::execute(QStringLiteral(KFZ_PG_TEST_SERVER), {"stop", m_info});
#endif
    }

    bool running() const
    {
        return m_running;
    }
    // No server binaries on this machine: the suite has nothing to test with.
    bool missing() const
    {
        return m_missing;
    }
    QString problem() const
    {
        return m_problem;
    }
    quint16 port() const
    {
        return m_values.value("port").toUShort();
    }
    // Trusted from 127.0.0.1 without a password.
    QString user() const
    {
        return m_values.value("user");
    }
    // Let in only with its password and only over TLS.
    QString passwordUser() const
    {
        return m_values.value("password_user");
    }
    QString password() const
    {
        return m_values.value("password");
    }
    // The CA that signed the server's certificate, and one that did not.
    QString caFile() const
    {
        return hostPath(m_values.value("ca"));
    }
    QString otherCaFile() const
    {
        return hostPath(m_values.value("other_ca"));
    }

    // A connection of the test's own, past the archive's code: the trusted
    // user's, opened when it could be (QSqlDatabase::removeDatabase(name) after).
    QSqlDatabase rawConnection(const QString &name, const QString &database,
                               const QString &options = {}) const
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", name);
        db.setHostName("127.0.0.1");
        db.setPort(port());
        db.setUserName(user());
        db.setDatabaseName(database);
        db.setConnectOptions(options);
        db.open();
        return db;
    }

    bool createDatabase(const QString &name, const QString &owner = {})
    {
        bool created = false;
        {
            QSqlDatabase db = rawConnection("kfz-test-createdb", "postgres");
            if (!db.isOpen()) {
                m_problem = db.lastError().text();
            } else {
                // Anew: a server given to the suite may have served an earlier run.
                QSqlQuery create(db);
                created = create.exec("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)") &&
                          create.exec("CREATE DATABASE " + name +
                                      (owner.isEmpty() ? QString() : " OWNER " + owner));
                if (!created)
                    m_problem = create.lastError().text();
            }
        }
        QSqlDatabase::removeDatabase("kfz-test-createdb");
        return created;
    }

    // "postgresql://<user>@127.0.0.1:<port>/<database>[?<query>]"
    QString address(const QString &database, const QString &query = {}) const
    {
        return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3%4")
            .arg(user())
            .arg(port())
            .arg(database, query.isEmpty() ? QString() : u'?' + query);
    }

    // A path of the Linux side as this program sees it (Wine's Z: drive).
    static QString hostPath(const QString &path)
    {
#ifdef Q_OS_WIN
        return path.isEmpty() ? path : QStringLiteral("Z:") + path;
#else
        return path;
#endif
    }

private:
    void readInfo(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            m_problem = path + QStringLiteral(": ") + file.errorString();
            return;
        }
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            m_values.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
        }
        m_running = port() != 0;
        if (!m_running)
            m_problem = path + QStringLiteral(" names no port");
    }

#ifndef Q_OS_WIN
    QTemporaryDir m_dir{QStringLiteral("/tmp/kfz-arch-pg-XXXXXX")};
#endif
    QString m_info;
    QHash<QString, QString> m_values;
    bool m_running = false;
    bool m_started = false;
    bool m_missing = false;
    QString m_problem;
};
