#pragma once

#include "PcmOutput.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <memory>

// Keeps a sound output fed from a timer on the thread it lives on: the queued
// samples first, then silence, so that sounds follow each other without the
// output starting and stopping in between. The output is opened by start and
// closed again after a while without samples. The players on top decide when
// a sound counts as played: by fed (all handed over) or by played (heard).
class PcmPump : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIdleCloseMs = 3000;

    PcmPump(std::unique_ptr<PcmOutput> output, int feedIntervalMs, QObject *parent = nullptr);
    ~PcmPump() override;

    PcmOutput &output() const { return *m_output; }
    // Opens the output for the format (see PcmOutput::start) and keeps it fed.
    // Throws Failure.
    void start(const PcmFormat &format, int bufferMs);
    void append(const QByteArray &pcm);
    // Drops the samples not yet handed to the output.
    void drop() { m_queued.clear(); }
    qint64 queued() const { return m_queued.size(); }
    // Bytes handed to the output since it was opened (silence included), and
    // those it has played.
    qint64 written() const { return m_output->written(); }
    qint64 played() const { return m_output->played(); }
    // Hands the output what it has room for now.
    void feed();

Q_SIGNALS:
    // After each turn of feeding: the room the output had, and how many
    // queued bytes it took.
    void fed(qint64 room, qint64 taken);

private:
    void closeWhenIdle();

    std::unique_ptr<PcmOutput> m_output;
    QTimer m_feeder;
    QTimer m_idle;
    PcmFormat m_format;
    QByteArray m_queued;
};
