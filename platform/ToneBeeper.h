#pragma once

#include "Beeper.h"

#include <QThread>
#include <memory>

class ToneOutput;

// The PC-speaker beep: the system Beep on Windows; elsewhere a generated sine
// tone on the default audio output, played by an object on a thread of its own
// with an event loop. With no output the beep still lasts its length.
class ToneBeeper : public Beeper
{
public:
    ToneBeeper();
    ~ToneBeeper() override;
    void Beep(int frequencyHz, int durationMs) override;

private:
    QThread m_thread;
    ToneOutput *m_output = nullptr;
};
