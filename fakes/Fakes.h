#pragma once

#include "Asker.h"
#include "Beeper.h"
#include "Failure.h"
#include "GaugePort.h"
#include "Shell.h"
#include "SoundPlayer.h"

#include <QFileInfo>
#include <QStringList>
#include <mutex>
#include <vector>

// A gauge link fed by hand: bytes "arrive" when feed() is called, and opens,
// closes and reads fail when told to.
class FakeGaugePort : public GaugePort
{
public:
    QString portName() const override { return m_name; }
    void setPortName(const QString &name) override { m_name = name; }
    void open() override;
    void close() override;
    void purge() override { m_buffer.clear(); }
    bool connected() const override { return m_open; }
    QByteArray read(qint64 maxBytes) override;
    qint64 bytesWaiting() const override { return m_open ? m_buffer.size() : 0; }
    void stopNotifications() override { m_notify = false; }

    // Bytes arriving from the gauge.
    void feed(const QByteArray &bytes);
    const QByteArray &waiting() const { return m_buffer; }

    bool failOpen = false;
    int failOpens = 0;    // the next opens that fail
    QList<int> failCodes; // the next opens that fail, with these error numbers
    QStringList openedNames;
    bool failRead = false;
    bool failClose = false; // closing fails, and the port stays closed all the same
    int opens = 0;
    int closes = 0;

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
    bool audible() const override { return hasOutput; }
    bool hasOutput = true; // false: a computer without any sound output

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
    void openUrl(const QString &url) override
    {
        urls.append(url);
        if (failOpenUrl)
            throw Failure(QStringLiteral("Exception"), QStringLiteral("No browser for ") + url);
    }
    void runElevated(const QString &program) override { elevated.append(program); }
    bool failOpenUrl = false; // a failure that no handler of the program catches
    QStringList urls;
    QStringList elevated;
};

// Takes the questions down and answers them when told to.
class FakeAsker : public Asker
{
public:
    void ask(const QString &message, const QString &question, Answered answered) override
    {
        messages.append(message);
        asked.append(question);
        m_pending = std::move(answered);
    }
    void withdraw() override { m_pending = nullptr; }
    bool open() const { return bool(m_pending); }
    // Answers the open question; false when none is open.
    bool answer(Answer answer)
    {
        const Answered pending = std::exchange(m_pending, nullptr);
        if (pending)
            pending(answer);
        return bool(pending);
    }
    QStringList messages;
    QStringList asked;

private:
    Answered m_pending;
};
