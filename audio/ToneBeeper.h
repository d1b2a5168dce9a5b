#pragma once

#include "Beeper.h"

#include <QObject>
#include <QThread>
#include <functional>
#include <memory>
#include <mutex>

class SoundModule;

// Where the beeper's tones are played; lives on the beeper's own thread.
class ToneOutput : public QObject
{
public:
    // Plays the tone and calls done once it has been played out, later, on
    // this object's thread; a stalled output may call it late or never.
    virtual void play(int frequencyHz, int durationMs, std::function<void()> done) = 0;
};

// The PC-speaker beep where there is no speaker to drive (Windows has its
// Beep, WinBeeper): a generated sine tone on the default audio output, played
// by an object on a thread of its own with an event loop, started with the
// first beep. A beep lasts its length whether or not it could be heard, and
// never much longer: an output that stalls is not waited for beyond the
// tone's length and a margin.
class ToneBeeper : public Beeper
{
public:
    static constexpr int kMarginMs = 1000;

    // Tones go to the sound card, through the module's output.
    explicit ToneBeeper(SoundModule &module);
    // Tones go to the given output instead of the sound card; they count as
    // audible.
    explicit ToneBeeper(std::unique_ptr<ToneOutput> output);
    ~ToneBeeper() override;
    // How long past its length a beep waits for a stalled output (kMarginMs);
    // set before the first beep.
    void setMarginMs(int ms) { m_marginMs = ms; }
    void Beep(int frequencyHz, int durationMs) override;
    bool audible() const override;

private:
    QThread m_thread;
    std::once_flag m_started;
    ToneOutput *m_output = nullptr;
    SoundModule *m_module = nullptr;
    int m_marginMs = kMarginMs;
};
