#pragma once

#include "Beeper.h"
#include "Failure.h"
#include "GaugePort.h"
#include "Shell.h"
#include "SoundPlayer.h"

#include <QFileInfo>
#include <QStringList>
#include <mutex>
#include <vector>

// A gauge link that the test feeds with bytes.
class FakeGaugePort : public GaugePort
{
public:
    QString portName() const override { return m_name; }
    void setPortName(const QString &name) override { m_name = name; }
    void open() override
    {
        openedNames.append(m_name);
        if (!failCodes.isEmpty())
            throw Failure(QStringLiteral("EComPort"),
                          QStringLiteral("Unable to open com port (win error code: %1)")
                              .arg(failCodes.takeFirst()));
        if (failOpen || (failOpens > 0 && failOpens-- > 0))
            throw Failure(QStringLiteral("EComPort"),
                          QStringLiteral("Unable to open com port (win error code: 2)"));
        m_open = true;
        m_notify = true;
        ++opens;
    }
    void close() override
    {
        m_open = false;
        m_buffer.clear();
    }
    void purge() override { m_buffer.clear(); }
    bool connected() const override { return m_open; }
    QByteArray read(qint64 maxBytes) override
    {
        if (failRead)
            throw Failure(QStringLiteral("EComPort"), QStringLiteral("ReadFile function failed"));
        const QByteArray bytes = m_buffer.left(maxBytes);
        m_buffer.remove(0, bytes.size());
        return bytes;
    }
    qint64 bytesWaiting() const override { return m_open ? m_buffer.size() : 0; }
    void stopNotifications() override { m_notify = false; }

    // Bytes arriving from the gauge.
    void feed(const QByteArray &bytes)
    {
        m_buffer += bytes;
        if (m_open && m_notify)
            Q_EMIT rxChar(int(m_buffer.size()));
    }
    const QByteArray &waiting() const { return m_buffer; }

    bool failOpen = false;
    int failOpens = 0;    // the next opens that fail
    QList<int> failCodes; // the next opens that fail, with these error numbers
    QStringList openedNames;
    bool failRead = false;
    int opens = 0;

private:
    QString m_name = QStringLiteral("COM6");
    QByteArray m_buffer;
    bool m_open = false;
    bool m_notify = true;
};

// Records every beep instead of sounding it.
class FakeBeeper : public Beeper
{
public:
    void Beep(int frequencyHz, int) override
    {
        std::lock_guard guard(m_lock);
        m_tones.push_back(frequencyHz);
    }
    std::vector<int> tones() const
    {
        std::lock_guard guard(m_lock);
        return m_tones;
    }

private:
    mutable std::mutex m_lock;
    std::vector<int> m_tones;
};

// A player that "plays" instantly; opening fails for missing files.
class FakeSoundPlayer : public SoundPlayer
{
public:
    void close() override { m_open.clear(); }
    void open(const QString &path) override
    {
        if (failAll || !QFileInfo::exists(path))
            throw Failure(QStringLiteral("Exception"), QStringLiteral("cannot open ") + path);
        m_open = path;
    }
    void play() override
    {
        if (m_open.isEmpty())
            throw Failure(QStringLiteral("Exception"), QStringLiteral("nothing open"));
        played.append(m_open);
        const bool notify = takeNotify();
        takeWait();
        Q_EMIT stopped();
        if (notify)
            Q_EMIT endEvent();
    }
    bool isPlaying() const override { return false; }

    QStringList played;
    bool failAll = false;

private:
    QString m_open;
};

class FakeShell : public Shell
{
public:
    void openUrl(const QString &url) override { urls.append(url); }
    void runElevated(const QString &program) override { elevated.append(program); }
    QStringList urls;
    QStringList elevated;
};
