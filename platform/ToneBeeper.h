#pragma once

#include "Beeper.h"

// The PC-speaker beep: the system Beep on Windows; elsewhere a generated sine
// tone on the default audio output. With no output it still lasts its length.
class ToneBeeper : public Beeper
{
public:
    void Beep(int frequencyHz, int durationMs) override;
};
